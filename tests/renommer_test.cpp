// The rename that never replaces, on file systems that lack what it tries
// first: the kernel's answers are forced by wrapping its calls at link time.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "../src/fich.h"

namespace fs = std::filesystem;
static int errr, errl, erru; // errno forced on renameat2, linkat, unlinkat of "de"

extern "C" {
int __real_renameat2(int, const char *, int, const char *, unsigned);
int __real_linkat(int, const char *, int, const char *, int);
int __real_unlinkat(int, const char *, int);

int __wrap_renameat2(int a, const char *de, int b, const char *vers, unsigned f)
{
    return errr != 0 ? (errno = errr, -1) : __real_renameat2(a, de, b, vers, f);
}
int __wrap_linkat(int a, const char *de, int b, const char *vers, int f)
{
    return errl != 0 ? (errno = errl, -1) : __real_linkat(a, de, b, vers, f);
}
int __wrap_unlinkat(int a, const char *nom, int f)
{
    return erru != 0 && *nom == 'd' ? (errno = erru, -1) : __real_unlinkat(a, nom, f);
}
}

static std::string lire(const char *nom)
{
    std::string s;
    std::getline(std::ifstream(nom), s);
    return s;
}

TEST(Renommer, FallbackChain)
{
    struct {
        int r, l, u; // errno forced on each call, 0 for the real answer
        char pris;   // what stands at "vers": nothing, a dangling link, a file
        bool res;    // the rename succeeds
    } cas[] = {
        {0, 0, 0, 'f', false},             // the kernel itself refuses to replace
        {EINVAL, 0, 0, 0, true},           // no RENAME_NOREPLACE: link, unlink
        {ENOSYS, 0, 0, 'l', false},        // the link finds vers taken
        {EOPNOTSUPP, 0, EACCES, 0, false}, // unlink refused: the link goes again
        {EPERM, 0, 0, 0, false},           // a refusal: no fallback
        {EINVAL, EPERM, 0, 0, true},       // no hard links: look, then rename
        {EINVAL, EMLINK, 0, 'l', false},   // lstat sees the dangling link
        {EINVAL, EIO, 0, 0, false},        // a real link error: no rename
    };
    fs::path d = fs::temp_directory_path() / ("dm-renommer-" + std::to_string(getpid()));
    for (auto &c : cas) {
        SCOPED_TRACE(&c - cas);
        fs::remove_all(d);
        fs::create_directory(d);
        fs::current_path(d);
        std::ofstream("de") << "film";
        if (c.pris == 'l')
            fs::create_symlink("nulle-part", "vers");
        if (c.pris == 'f')
            std::ofstream("vers") << "pris";
        errr = c.r, errl = c.l, erru = c.u;
        EXPECT_EQ(renommer("de", "vers"), c.res ? 0 : -1);
        errr = errl = erru = 0;
        // Done whole, or not at all.
        EXPECT_EQ(fs::exists("de"), !c.res);
        EXPECT_EQ(fs::exists(fs::symlink_status("vers")), c.res || c.pris != 0);
        EXPECT_EQ(lire(c.res ? "vers" : "de"), "film");
        if (c.pris == 'f') {
            EXPECT_EQ(lire("vers"), "pris");
        }
    }
    fs::current_path("/");
    fs::remove_all(d);
}
