// File operations with the semantics of Windows' own calls: a rename that
// never replaces an existing file, and names matched without regard to case.
#ifndef FICH_H
#define FICH_H

// One movie's rename: the name it is under, and the name it goes to.
struct film {
    const char *de;
    const char *vers;
};

// Where one movie stands in the working directory.
struct lieu {
    char nom[64]; // the spelling it was found under
    int n;        // how many entries bear its name, in any case
    bool pris;    // an entry bears the name it goes to, in any case
};

// Finds the n movies of tab in the working directory, in one pass over it.
void reperer(const film *tab, int n, lieu *l);

// Renames the movie f, found at l, to the name it goes to.
// 0 when done; -1 when nothing was changed.
int deplacer(const film *f, const lieu *l);

#endif
