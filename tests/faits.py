"""Prints the facts of a built program, or of the zip a player downloads, and
fails showing how they differ from the ones expected.
usage: faits.py PROGRAM [statique] | faits.py PROGRAM.exe VERSION OBJDUMP BITS | faits.py ZIP
| faits.py TARBALL"""
import difflib, os, re, subprocess as sp, sys, tarfile, zipfile  # noqa: E401

LF = re.compile(b"(?<!\r)\n")  # a line end without its CR
CLES = ("FileVersion", "LegalCopyright", "OriginalFilename")  # what its properties show
VALEUR = r"\0+([^\0]*)"  # after its key, a property's value


def lire(*cmd, code="utf-8", **kw):
    """What cmd prints, also when it fails: a failure shows in the difference."""
    return sp.run(cmd, stdout=sp.PIPE, check=False, **kw).stdout.decode(code, "replace")


def linux(exe, statique=""):
    """The libraries it loads: the C library; static, none, no interpreter and 64 KiB at most."""
    vu = ["needs " + n for n in re.findall(r"NEEDED.*\[(.*)\]", lire("readelf", "-d", exe))]
    if not statique:
        return vu, ["needs libc.so.6"]
    genre, n = lire("file", "-b", exe), os.path.getsize(exe)
    taille = f"{n} bytes, within 64 KiB: "
    return [*vu, f"static {'statically' in genre and 'interpreter' not in genre}",
            taille + str(n <= 65536)], ["static True", taille + "True"]


def windows(exe, version, objdump, bits):
    """Its kind, the DLLs it imports, the rights its manifest asks for and its
    properties, read from strings of UTF-16 where each value follows its key."""
    info = lire("wrestool", "-x", "--raw", "-t", "16", exe, code="utf-16-le")
    manifeste = lire("wrestool", "-x", "--raw", "-t", "24", exe)
    return ["kind " + lire("file", "-b", exe).split(",")[0].split(" (stripped")[0],
            *sorted("needs " + d for d in re.findall(r"DLL Name: (\S+)", lire(objdump, "-p", exe))),
            "rights " + " ".join(re.findall(r'(?:level|uiAccess)="(\w+)"', manifeste)),
            *(f"{k} {(re.search(k + VALEUR, info) or [0, ''])[1]}" for k in CLES)], [
        "kind " + {"32": "PE32 executable (console) Intel 80386",
                   "64": "PE32+ executable (console) x86-64"}[bits],
        "needs KERNEL32.dll", "needs msvcrt.dll", "rights asInvoker false", "FileVersion " + version,
        "LegalCopyright Copyright (c) 2026 the disable-movies contributors, MIT licence",
        "OriginalFilename " + os.path.basename(exe)]


def paquet(chemin):
    """In name order, the two programs and two texts with CR LF line ends,
    the players' note with a byte-order mark."""
    z, textes = zipfile.ZipFile(chemin), ("LICENSE.txt", "LISEZMOI.txt")
    return [*("holds " + n for n in z.namelist()),
            *(f"{t}: {len(LF.findall(z.read(t)))} lines without CR" for t in textes),
            "byte-order mark " + z.read("LISEZMOI.txt")[:3].hex()], [
        *("holds " + n for n in (*textes, "disable-movies.exe", "enable-movies.exe")),
        *(t + ": 0 lines without CR" for t in textes), "byte-order mark efbbbf"]


def tarball(chemin):
    """One folder of its own name, in name order, owned by root: the programs
    at its top and executable, their manual pages, the licence, the players'
    note."""
    nom = os.path.basename(chemin)[:-len(".tar.gz")]
    return [f"holds {i.name} {i.mode:o} {i.uid}:{i.gid}" for i in tarfile.open(chemin)], [
        *(f"holds {nom}/{f} 0:0" for f in (
            "LICENSE 644", "LISEZMOI.txt 644", "disable-movies 755", "disable-movies.1 644",
            "enable-movies 755", "enable-movies.1 644"))]


a = sys.argv[1:]
vu, attendu = {".zip": paquet, ".exe": windows, ".gz": tarball}.get(os.path.splitext(a[0])[1],
                                                                   linux)(*a)
print("\n".join(vu))
sys.exit(vu != attendu and "\n".join(difflib.unified_diff(attendu, vu, "expected", "seen", "", "",
                                                          lineterm="")))
