// Preloaded into the program under test: a call f for which DM_FORCE_f is
// set, as in DM_FORCE_renameat2=22, fails with that errno the first time it
// is made, so that the file systems the rename must cope with need not exist
// here.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

// The call f, with its result type, its value on failure, its parameters and
// how it passes them on.
#define FORCER(t, f, echec, params, args)                                                          \
    extern "C" t f params                                                                          \
    {                                                                                              \
        static int fois;                                                                           \
        const char *force = getenv("DM_FORCE_" #f);                                                \
        if (fois++ == 0 && force != nullptr) {                                                     \
            errno = atoi(force);                                                                   \
            return echec;                                                                          \
        }                                                                                          \
        return reinterpret_cast<decltype(&f)>(dlsym(RTLD_NEXT, #f)) args;                          \
    }

FORCER(DIR *, opendir, nullptr, (const char *a), (a))
FORCER(int, renameat2, -1, (int a, const char *b, int c, const char *d, unsigned e),
       (a, b, c, d, e))
FORCER(int, linkat, -1, (int a, const char *b, int c, const char *d, int e), (a, b, c, d, e))
FORCER(int, unlinkat, -1, (int a, const char *b, int c), (a, b, c))
