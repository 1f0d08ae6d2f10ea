// The rename that never replaces, on file systems that lack what it tries
// first: the kernel's answers are forced by wrapping its calls at link time.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

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
    return erru != 0 && std::string(nom) == "de" ? (errno = erru, -1) : __real_unlinkat(a, nom, f);
}
}

// What the directory holds: "de" and "vers" with their contents, "@" a link.
static std::string etat()
{
    std::string s;
    for (const char *n : {"de", "vers"})
        if (fs::is_symlink(n))
            s += std::string(n) + "@ ";
        else if (fs::exists(n))
            s += n + (":" + (std::stringstream() << std::ifstream(n).rdbuf()).str()) + " ";
    return s;
}

TEST(Renommer, FallbackChain)
{
    struct {
        int r, l, u;      // errno forced on each call, 0 for the real answer
        const char *vers; // what stands at "vers" before: "" nothing, "@" a dangling link
        int res;
        const char *apres;
    } cas[] = {
        {EINVAL, 0, 0, "", 0, "vers:1 "},            // no RENAME_NOREPLACE: link, unlink
        {ENOSYS, 0, 0, "2", -1, "de:1 vers:2 "},     // the link finds vers taken
        {EOPNOTSUPP, 0, EACCES, "", -1, "de:1 "},    // unlink refused: the link goes again
        {EPERM, 0, 0, "", -1, "de:1 "},              // a refusal: no fallback
        {EINVAL, EPERM, 0, "", 0, "vers:1 "},        // no hard links: look, then rename
        {EINVAL, EMLINK, 0, "@", -1, "de:1 vers@ "}, // a dangling link is a name taken
        {EINVAL, EIO, 0, "", -1, "de:1 "},           // a real link error: no rename
    };
    fs::path d = fs::temp_directory_path() / "dm-renommer";
    for (auto &c : cas) {
        SCOPED_TRACE(&c - cas);
        fs::remove_all(d);
        fs::create_directory(d);
        fs::current_path(d);
        std::ofstream("de") << "1";
        if (std::string(c.vers) == "@")
            fs::create_symlink("nulle-part", "vers");
        else if (*c.vers != '\0')
            std::ofstream("vers") << c.vers;
        errr = c.r, errl = c.l, erru = c.u;
        EXPECT_EQ(renommer("de", "vers"), c.res);
        errr = errl = erru = 0;
        EXPECT_EQ(etat(), c.apres);
    }
    fs::current_path("/");
    fs::remove_all(d);
}
