// disable-movies: puts three movies of the game out of use by renaming each
// one, in the current directory, to its name with "!" in front. The game no
// longer finds them and starts without them.

#include <stdio.h>

#include "fich.h"
#include "pause.h"

// The movies, in the order they are renamed.
static const film films[] = {
    {"attract_movie_french_pal.vp6", "!attract_movie_french_pal.vp6"},
    {"zulogo_french_pal.vp6", "!zulogo_french_pal.vp6"},
    {"psa_french_pal.vp6", "!psa_french_pal.vp6"},
};
enum { NFILMS = sizeof films / sizeof films[0] };

int main()
{
    lieu l[NFILMS];
    reperer(films, NFILMS, l);

    // Every rename is tried, and none is undone when another fails.
    int cmpt = 0;
    for (int i = 0; i < NFILMS; i++)
        if (desactiver(&films[i], &l[i]) == 0)
            cmpt++;

    // One verdict, whatever went wrong; a failed write goes unnoticed.
    if (cmpt == NFILMS)
        printf("Operation reussie !\n");
    else
        printf("Erreur : fichiers introuvables !\n");

    attente();
    return 0;
}
