// The wait for one key at the console that ends every run.
#ifndef PAUSE_H
#define PAUSE_H

// Writes out what stdout holds, then waits until one key is pressed at the
// console and reads it whole, without echo and without waiting for Enter.
// On Windows the runtime's _getch does the wait. Elsewhere:
// - SIGPIPE is ignored from here to the end of the run, so that a write to
//   a reader gone away fails unnoticed;
// - the terminal is left as found, also when a signal ends or stops the
//   program during the wait;
// - with no terminal, with stdout a pipe (or a socket), or when started as a
//   "cmd &" of a script (SIGINT and SIGQUIT ignored), it returns at once, the
//   terminal untouched and stdout left to be written out at exit;
// - in the background it writes stdout out and returns.
void attente();

#endif
