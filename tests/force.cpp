// Preloaded into the program under test: a call f for which DM_FORCE_f is
// set, as in DM_FORCE_renameat2=22, fails with that errno the first time it
// is made, so that the file systems the rename must cope with need not exist
// here.
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/syscall.h>

// The call f, named nom, made when si holds, with its result type, its value
// on failure, its parameters and how it passes them on.
#define FORCER(t, f, nom, si, echec, params, args)                                                 \
    extern "C" t f params                                                                          \
    {                                                                                              \
        static int fois;                                                                           \
        const char *force = getenv("DM_FORCE_" nom);                                               \
        if ((si) && fois++ == 0 && force != nullptr) {                                             \
            errno = atoi(force);                                                                   \
            return echec;                                                                          \
        }                                                                                          \
        return reinterpret_cast<decltype(&f)>(dlsym(RTLD_NEXT, #f)) args;                          \
    }

FORCER(DIR *, opendir, "opendir", true, nullptr, (const char *a), (a))
FORCER(int, linkat, "linkat", true, -1, (int a, const char *b, int c, const char *d, int e),
       (a, b, c, d, e))
FORCER(int, unlinkat, "unlinkat", true, -1, (int a, const char *b, int c), (a, b, c))
// The program makes renameat2 through syscall(), whose arguments are passed
// in registers, as a function's with these parameters.
FORCER(long, syscall, "renameat2", n == SYS_renameat2, -1,
       (long n, long a, long b, long c, long d, long e), (n, a, b, c, d, e))
// A terminal said ready whose byte another reader then takes: DM_FORCE_poll=0.
FORCER(int, poll, "poll", true, 1, (pollfd * a, nfds_t b, int c), (a, b, c))
