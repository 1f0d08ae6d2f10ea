// File operations with the semantics of Windows' own calls: a rename that
// never replaces an existing file, and names matched without regard to case.
#ifndef FICH_H
#define FICH_H

// One movie: the name the game looks it up by, and the name that disables it.
struct film {
    const char *nom;
    const char *desac;
};

// Where one movie stands in the working directory.
struct lieu {
    char nom[64]; // the spelling it was found under
    int n;        // how many entries bear its name, in any case
    bool pris;    // an entry bears its disabled name, in any case
};

// Finds the n movies of tab in the working directory, in one pass over it.
void reperer(const film *tab, int n, lieu *l);

// Renames the movie f, found at l, to its disabled name.
// 0 when done; -1 when nothing was changed.
int desactiver(const film *f, const lieu *l);

// Renames de to vers, failing rather than replace anything at vers.
// 0 when done; -1 when nothing was changed.
int renommer(const char *de, const char *vers);

#endif
