// The console around the run: made ready before anything is written, then
// the wait for one key that ends every run.
#ifndef PAUSE_H
#define PAUSE_H

// Called first: elsewhere than on Windows, SIGPIPE is ignored from here to
// the end of the run, so that a write to a reader gone away, whenever the C
// library makes it, fails unnoticed.
void preparer();

// Writes out what stdout holds, then waits until one key is pressed at the
// console and reads it whole, without echo and without waiting for Enter.
// On Windows the runtime's _getch does the wait. Elsewhere:
// - the terminal is left as found, also when a signal ends or stops the
//   program during the wait, unless another program has it by then;
// - with no terminal, with stdout a pipe (or a socket), when started as a
//   "cmd &" of a script (SIGINT and SIGQUIT ignored or blocked), or by a
//   launcher already gone, it returns at once, the terminal untouched and
//   stdout left to be written out at exit;
// - in the background, as the kernel tells it whatever the PID namespace,
//   it writes stdout out and returns;
// - a wait whose launcher has gone ends within a second, the terminal as
//   found if it is still the program's;
// - a wait whose terminal passes to another process group (bg, or a
//   launcher gone without waiting) ends within a second where no shell looks
//   after the program, and under a shell stops until fg, the terminal
//   untouched; where the stop is discarded, as for the first process of a
//   PID namespace, it tries again a second later.
void attente();

#endif
