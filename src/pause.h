// The wait for one key at the console that ends every run.
#ifndef PAUSE_H
#define PAUSE_H

// Waits until one key is pressed at the console, reading it without echo
// and without waiting for Enter. Returns at once when there is no console.
void attente();

#endif
