// Preloaded into the program under test: each call named in DM_FORCE, as in
// "renameat2=22 linkat=1", fails with that errno the first time it is made,
// so that the file systems the rename must cope with need not exist here.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// The errno forced on the call f, or 0.
static int force(const char *f)
{
    char nom[16];
    int e, n;
    for (const char *p = getenv("DM_FORCE"); p && sscanf(p, " %15[a-z0-9]=%d%n", nom, &e, &n) == 2;
         p += n)
        if (strcmp(nom, f) == 0)
            return e;
    return 0;
}

// The call f, with its result type, its value on failure, its parameters and
// how it passes them on.
#define FORCER(t, f, echec, params, args)                                                          \
    extern "C" t f params                                                                          \
    {                                                                                              \
        static int fois;                                                                           \
        if (fois++ == 0 && (errno = force(#f)) != 0)                                               \
            return echec;                                                                          \
        return reinterpret_cast<decltype(&f)>(dlsym(RTLD_NEXT, #f)) args;                          \
    }

FORCER(DIR *, opendir, nullptr, (const char *a), (a))
FORCER(int, renameat2, -1, (int a, const char *b, int c, const char *d, unsigned e),
       (a, b, c, d, e))
FORCER(int, linkat, -1, (int a, const char *b, int c, const char *d, int e), (a, b, c, d, e))
FORCER(int, unlinkat, -1, (int a, const char *b, int c), (a, b, c))
