// File operations with the semantics of Windows' own calls. Windows has them
// built in; elsewhere they are made here from the system's calls.

#include "fich.h"

#include <stdio.h>

// Copies s into d, of size n; leaves d empty when s does not fit.
static void copier(char *d, size_t n, const char *s)
{
    for (size_t i = 0; i < n; i++)
        if ((d[i] = s[i]) == '\0')
            return;
    d[0] = '\0';
}

// Takes each movie to be under its exact name, with nothing in the way of
// its new name, and leaves the rename to find out.
static void exacts(film *tab, int nf)
{
    for (film *f = tab; f < tab + nf; f++) {
        copier(f->trouve, sizeof f->trouve, f->de);
        f->nb = 1;
        f->pris = false;
    }
}

// Renames de to vers, failing rather than replace anything at vers.
// 0 when done; -1 otherwise, with nothing changed but in the rare cases
// fich.h names for deplacer().
static int renommer(const char *de, const char *vers);

int deplacer(const film *f)
{
    if (f->pris)
        return -1; // Windows would see the new name as taken
    if (f->nb != 1)
        return -1; // missing, or several spellings: which one is meant is not guessed
    return renommer(f->trouve, f->vers);
}

#ifdef _WIN32

#include <io.h>

// The file system matches names without regard to case: nothing to look up.
void reperer(film *tab, int nf)
{
    exacts(tab, nf);
}

// The runtime's rename never replaces an existing file. It counts only if
// the old name is gone afterwards: under Wine, in a folder of a file system
// that tells case apart, a second spelling of the name is still there to be
// found, and a rename onto another link to the same file changes nothing.
static int renommer(const char *de, const char *vers)
{
    if (rename(de, vers) != 0)
        return -1;
    return _access(de, 0) == 0 ? -1 : 0;
}

#else

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Whether a and b are the same name but for the case of ASCII letters, as
// Windows compares names. Written out rather than strcasecmp, whose first
// call alone, bound by the dynamic linker, costs more than all the
// comparisons of a run.
static bool pareil(const char *a, const char *b)
{
    for (; *a != '\0' || *b != '\0'; a++, b++) {
        int x = (unsigned char)*a, y = (unsigned char)*b;
        if (x >= 'A' && x <= 'Z')
            x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z')
            y += 'a' - 'A';
        if (x != y)
            return false;
    }
    return true;
}

// Notes what the directory entry nom means for each movie of tab.
static void voir(const char *nom, film *tab, int nf)
{
    for (film *f = tab; f < tab + nf; f++) {
        if (pareil(nom, f->de)) {
            if (f->nb == 0) // the first spelling met is the one renamed, if alone
                copier(f->trouve, sizeof f->trouve, nom);
            f->nb++;
        }
        if (pareil(nom, f->vers))
            f->pris = true;
    }
}

void reperer(film *tab, int nf)
{
    DIR *d = opendir(".");
    if (d == nullptr) {
        // Searchable but not readable: other spellings cannot be seen.
        exacts(tab, nf);
        return;
    }
    for (film *f = tab; f < tab + nf; f++) {
        f->trouve[0] = '\0';
        f->nb = 0;
        f->pris = false;
    }
    for (const dirent *e; (e = readdir(d)) != nullptr;)
        voir(e->d_name, tab, nf);
    closedir(d);
}

// The kernel's RENAME_NOREPLACE, which not every C library's headers name.
enum { NOREPLACE = 1 };

static int renommer(const char *de, const char *vers)
{
    // Atomic, and its EEXIST can be trusted. Made as a system call: not every
    // C library wraps renameat2. Each number goes as the long syscall() reads.
    if (syscall(SYS_renameat2, long{AT_FDCWD}, de, long{AT_FDCWD}, vers, long{NOREPLACE}) == 0)
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
