#!/usr/bin/env python3
"""Writes a zip or a .tar.gz again so that its bytes depend on what it holds and nothing
else: the entries in name order, each dated TIME (seconds since 1970, UTC), with no owner
and no other time; a zip's entries keep their Unix mode, a tarball's are 755 for programs
(and folders), 644 for the rest, and its gzip stream holds no name and no time.
usage: paquet.py ARCHIVE TIME"""
import gzip, io, sys, tarfile, time, zipfile  # noqa: E401


def zip_(chemin, t):
    with zipfile.ZipFile(chemin) as z:
        entrees = [(i, z.read(i)) for i in sorted(z.infolist(), key=lambda i: i.filename)]
    date = time.gmtime(max(t, 315532800))[:6]  # a zip holds no date before 1980
    with zipfile.ZipFile(chemin, "w") as z:
        for i, donnees in entrees:
            e = zipfile.ZipInfo(i.filename, date)
            e.create_system = 3  # Unix, whatever runs this, so that the mode counts
            e.external_attr = i.external_attr
            e.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(e, donnees)


def tgz(chemin, t):
    with tarfile.open(chemin) as a:
        entrees = [(i, a.extractfile(i).read() if i.isfile() else None)
                   for i in sorted(a.getmembers(), key=lambda i: i.name)]
    with open(chemin, "wb") as f, gzip.GzipFile("", "wb", fileobj=f, mtime=0) as g, \
            tarfile.open(fileobj=g, mode="w", format=tarfile.USTAR_FORMAT) as a:
        for i, donnees in entrees:
            e = tarfile.TarInfo(i.name)
            e.type, e.size, e.mtime = i.type, i.size, t
            e.mode = 0o755 if i.mode & 0o100 else 0o644
            a.addfile(e, None if donnees is None else io.BytesIO(donnees))


chemin, t = sys.argv[1], int(sys.argv[2])
(zip_ if chemin.endswith(".zip") else tgz)(chemin, t)
