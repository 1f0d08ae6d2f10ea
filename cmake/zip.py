#!/usr/bin/env python3
"""Writes a zip again so that its bytes depend on what it holds and nothing else: the
entries in name order, each dated TIME (seconds since 1970, UTC), keeping its Unix mode,
with no owner and no other time. usage: zip.py ZIP TIME"""
import sys, time, zipfile

chemin, t = sys.argv[1], int(sys.argv[2])
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
