// disable-movies puts three movies of the game out of use by renaming each
// one, in the current directory, to its name with "!" in front: the game no
// longer finds them and starts without them. enable-movies, the same text
// built with RETOUR defined, renames them back.

#include <stdio.h>

#include "fich.h"
#include "pause.h"

// The movies, in the order they are renamed: each one's name, then the name
// that disables it.
static const char *const films[][2] = {
    {"attract_movie_french_pal.vp6", "!attract_movie_french_pal.vp6"},
    {"zulogo_french_pal.vp6", "!zulogo_french_pal.vp6"},
    {"psa_french_pal.vp6", "!psa_french_pal.vp6"},
};
enum { NFILMS = sizeof films / sizeof films[0] };

// The columns of the table: a movie's own name, then its disabled one.
enum { PROPRE, DESACTIVE };

// The direction of the renames, fixed when the program is built.
#ifdef RETOUR
enum { DE = DESACTIVE, VERS = PROPRE }; // enable-movies: each movie back to its own name
#else
enum { DE = PROPRE, VERS = DESACTIVE }; // disable-movies: each movie out of use
#endif

int main()
{
    preparer();

    film f[NFILMS]; // where each stands is for reperer() to note
    for (int i = 0; i < NFILMS; i++) {
        f[i].de = films[i][DE];
        f[i].vers = films[i][VERS];
    }
    reperer(f, NFILMS);

    // Every rename is tried, and none is undone when another fails.
    int cmpt = 0;
    for (int i = 0; i < NFILMS; i++)
        if (deplacer(&f[i]) == 0)
            cmpt++;

    // One verdict, whatever went wrong; a failed write goes unnoticed.
    if (cmpt == NFILMS)
        printf("Operation reussie !\n");
    else
        printf("Erreur : fichiers introuvables !\n");

    attente();
    return 0;
}
