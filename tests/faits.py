"""Prints the facts of a built program, or of the zip a player downloads, and
fails showing how they differ from the ones expected.
usage: faits.py PROGRAM | faits.py PROGRAM.exe VERSION OBJDUMP BITS | faits.py ZIP"""
import codecs
import difflib
import re
import subprocess as sp
import sys
import zipfile
from pathlib import Path


def sortie(*cmd, **kw):
    return sp.run(cmd, stdout=sp.PIPE, check=True, **kw).stdout


def valeur(cle, texte):
    """What follows the key cle in a resource of UTF-16 strings."""
    return (re.search(cle + "\0+([^\0]*)", texte) or [0, None])[1]


def programme(exe, version="", objdump="", bits=""):
    """Linux: the libraries it loads. Windows: its kind, the DLLs it imports,
    the rights its manifest asks for and what its properties show."""
    if not exe.endswith(".exe"):
        dyn = sortie("readelf", "-d", exe).decode()
        return ["needs " + n for n in re.findall(r"NEEDED.*\[(.*)\]", dyn)], ["needs libc.so.6"]
    genre = sortie("file", "-b", exe).decode().split(",")[0].split(" (stripped")[0]
    dlls = re.findall(r"DLL Name: (\S+)", sortie(objdump, "-p", exe).decode())
    manifeste = sortie("wrestool", "-x", "--raw", "-t", "24", exe).decode()
    info = sortie("wrestool", "-x", "--raw", "-t", "16", exe).decode("utf-16-le", "replace")
    vu = ["kind " + genre, *sorted("needs " + d for d in dlls),
          "rights " + " ".join(re.findall(r'(?:level|uiAccess)="(\w+)"', manifeste)),
          *(f"{k} {valeur(k, info)}" for k in ("FileVersion", "LegalCopyright", "OriginalFilename"))]
    return vu, ["kind " + {"32": "PE32 executable (console) Intel 80386",
                           "64": "PE32+ executable (console) x86-64"}[bits],
                "needs KERNEL32.dll", "needs msvcrt.dll", "rights asInvoker false",
                "FileVersion " + version,
                "LegalCopyright Copyright (c) 2026 the disable-movies contributors, MIT licence",
                "OriginalFilename " + Path(exe).name]


LF = re.compile(b"(?<!\r)\n")  # a line end without its CR


def paquet(chemin):
    """In name order, the two programs and two texts with CR LF line ends,
    the players' note with a byte-order mark; its SHA-256 beside it."""
    z = zipfile.ZipFile(chemin)
    textes = ("LICENSE.txt", "LISEZMOI.txt")
    vu = [*("holds " + n for n in z.namelist()),
          *(f"{t} lines without CR {len(re.findall(LF, z.read(t)))}" for t in textes),
          f"byte-order mark {z.read('LISEZMOI.txt').startswith(codecs.BOM_UTF8)}",
          sortie("sha256sum", "-c", chemin.name + ".sha256", cwd=chemin.parent).decode().strip()]
    return vu, [*("holds " + n for n in (*textes, "disable-movies.exe", "enable-movies.exe")),
                *(f"{t} lines without CR 0" for t in textes), "byte-order mark True",
                chemin.name + ": OK"]


if __name__ == "__main__":
    arg = sys.argv[1:]
    vu, attendu = paquet(Path(arg[0])) if arg[0].endswith(".zip") else programme(*arg)
    print("\n".join(vu))
    sys.exit("\n".join(difflib.unified_diff(attendu, vu, "expected", "seen", lineterm=""))
             if vu != attendu else 0)
