// File operations with the semantics of Windows' own calls: a rename that
// never replaces an existing file, and names matched without regard to case.
#ifndef FICH_H
#define FICH_H

// One movie: the name it is under and the name it goes to, and, once
// reperer() has looked, where it stands in the working directory.
struct film {
    const char *de;
    const char *vers;
    char trouve[64]; // the spelling it was found under
    int nb;          // how many entries bear its name, in any case
    bool pris;       // an entry bears the name it goes to, in any case
};

// Finds the nf movies of tab in the working directory and notes for each
// where it stands: on Linux in one pass over the folder; on Windows, whose
// file system itself matches names without regard to case, and in a folder
// that cannot be read, each movie is taken to be under its exact name, its
// new name free, and the rename finds out.
void reperer(film *tab, int nf);

// Renames the movie f to the name it goes to, unless it was not found, was
// found under several spellings, or its new name is taken. 0 when done.
// -1 otherwise, with nothing changed but in two rare cases: a hard link
// whose old name could be neither removed nor the link undone leaves the
// movie under both names; and on Windows a rename after which the old name
// is still found counts as failed. Where the file system has neither an
// atomic rename that refuses to replace nor hard links, a file made at the
// new name between the look and the rename is replaced.
int deplacer(const film *f);

#endif
