// File operations with the semantics of Windows' own calls. Windows has them
// built in; elsewhere they are made here from the system's calls.

#include "fich.h"

#include <stdio.h>

#ifdef _WIN32

// The file system matches names without regard to case: nothing to look up.
void reperer(const film *tab, int n, lieu *l)
{
    (void)tab;
    for (int i = 0; i < n; i++) {
        l[i].nom[0] = '\0';
        l[i].casse = 0;
        l[i].exact = true;
        l[i].pris = false;
    }
}

int desactiver(const film *f, const lieu *l)
{
    (void)l;
    return renommer(f->nom, f->desac);
}

// The runtime's rename never replaces an existing file.
int renommer(const char *de, const char *vers)
{
    return rename(de, vers) == 0 ? 0 : -1;
}

#else

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { AUTRE, CASSE, EXACT };

// Whether a and b are the same name (EXACT), the same but for the case of
// ASCII letters (CASSE), or not the same (AUTRE).
static int pareil(const char *a, const char *b)
{
    int r = EXACT;
    for (; *a != '\0' && *b != '\0'; a++, b++) {
        int x = (unsigned char)*a, y = (unsigned char)*b;
        if (x == y)
            continue;
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return AUTRE;
        r = CASSE;
    }
    return *a == *b ? r : AUTRE;
}

// Copies s into d, of size n; leaves d empty when s does not fit.
static void copier(char *d, size_t n, const char *s)
{
    size_t t = strlen(s);
    if (t < n)
        memcpy(d, s, t + 1);
}

// Notes what the directory entry nom means for each movie of tab.
static void voir(const char *nom, const film *tab, int n, lieu *l)
{
    for (int i = 0; i < n; i++) {
        int p = pareil(nom, tab[i].nom);
        if (p == EXACT)
            l[i].exact = true;
        else if (p == CASSE && l[i].casse++ == 0)
            copier(l[i].nom, sizeof l[i].nom, nom);
        if (pareil(nom, tab[i].desac) != AUTRE)
            l[i].pris = true;
    }
}

void reperer(const film *tab, int n, lieu *l)
{
    for (int i = 0; i < n; i++) {
        l[i].nom[0] = '\0';
        l[i].casse = 0;
        l[i].exact = false;
        l[i].pris = false;
    }

    int d = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d < 0) {
        // Searchable but not readable: try the exact names, and let the
        // rename itself refuse to replace anything.
        for (int i = 0; i < n; i++)
            l[i].exact = true;
        return;
    }
    // The entries straight from the kernel, into a buffer on the stack.
    alignas(dirent64) char buf[32768];
    for (ssize_t t; (t = getdents64(d, buf, sizeof buf)) > 0;) {
        for (ssize_t o = 0; o < t;) {
            const dirent64 *e = (const dirent64 *)(buf + o);
            voir(e->d_name, tab, n, l);
            o += e->d_reclen;
        }
    }
    close(d);
}

int desactiver(const film *f, const lieu *l)
{
    if (l->pris)
        return -1; // Windows would see the disabled name as taken
    if (l->exact)
        return renommer(f->nom, f->desac);
    if (l->casse != 1)
        return -1; // missing, or several spellings and none exact: no guess
    return renommer(l->nom, f->desac);
}

int renommer(const char *de, const char *vers)
{
    // Atomic, and its EEXIST can be trusted.
    if (renameat2(AT_FDCWD, de, AT_FDCWD, vers, RENAME_NOREPLACE) == 0)
        return 0;
    // EINVAL, ENOSYS, EOPNOTSUPP: a file system without the flag (FUSE, older
    // ZFS, some NFS). Anything else, EPERM above all, is a real refusal: in a
    // sticky directory link would work and unlink fail, leaving two names.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;

    // A hard link cannot replace anything either.
    if (linkat(AT_FDCWD, de, AT_FDCWD, vers, 0) == 0) {
        if (unlinkat(AT_FDCWD, de, 0) == 0)
            return 0;
        unlinkat(AT_FDCWD, vers, 0); // leave things as they were
        return -1;
    }
    // EPERM: a directory, or protected hard links. EMLINK: too many links.
    // ENOSYS, EOPNOTSUPP, EINVAL: no hard links here (vfat).
    if (errno != EPERM && errno != EMLINK && errno != ENOSYS && errno != EOPNOTSUPP &&
        errno != EINVAL)
        return -1;

    // Last resort: look, then rename. Racy: a file created at vers between
    // the two would be replaced. lstat, not stat, so that a dangling
    // symbolic link counts as taken.
    struct stat st;
    if (lstat(vers, &st) == 0 || errno != ENOENT)
        return -1;
    return rename(de, vers) == 0 ? 0 : -1;
}

#endif
