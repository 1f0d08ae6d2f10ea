"""The program run as a black box, in a directory prepared for each case."""

import os
import unittest

from outils import AUTRE, ERR, EXE, FIN, OK, PAIRES, WINDOWS, essai

PRETS = {de: de[-5] for de, _ in PAIRES}  # the three movies, ready to rename
FAITS = {vers: de[-5] for de, vers in PAIRES}  # the same, renamed


class Run(unittest.TestCase):
    def verifier(self, avant, attendu, ok, args=()):
        st, out, err, apres = essai(avant, args)
        self.assertEqual((st, out, err), (0, (OK if ok else ERR) + FIN, ""))
        self.assertEqual(apres, attendu)

    def test_every_state_of_the_three_movies(self):
        # Each movie there or not, its new name taken or not: 64 states,
        # among them a second run and a directory without any movie. Most
        # with arguments, which change nothing.
        args = ((), ["--help"], ["/?"], ["-r", PAIRES[0][0]], ["", "a b"])
        for etat in range(64):
            avant = {}
            for i, (de, vers) in enumerate(PAIRES):
                if etat >> 2 * i & 1:
                    avant[de] = "film " + de
                if etat >> 2 * i & 2:
                    avant[vers] = "pris " + vers
            attendu = dict(avant)
            for de, vers in PAIRES:
                if de in avant and vers not in avant:
                    attendu[vers] = attendu.pop(de)
            with self.subTest(etat=etat):
                ok = len(attendu.keys() - avant.keys()) == 3
                self.verifier(avant, attendu, ok, args[etat % 5])

    def test_names_as_windows_sees_them(self):
        # The psa movie in odd company; the other two are there and renamed.
        p, d = PAIRES[2]
        deux = {de: PRETS[de] for de, _ in PAIRES[:2]}
        deux_faits = {vers: PRETS[de] for de, vers in PAIRES[:2]}
        cas = [  # before, after, verdict, Linux only (Wine takes a dangling link for no file)
            ({p: "p", d: "->ailleurs"}, {p: "p", d: "->ailleurs"}, False, True),
            ({p: "/", d: "/"}, {p: "/", d: "/"}, False, False),
            ({p.upper(): "p"}, {d: "p"}, True, False),
            ({p: "p", d.title(): "x"}, {p: "p", d.title(): "x"}, False, False),
            # Two spellings, exact or not: which one was meant is not guessed.
            ({p.title(): "1", p.upper(): "2"}, {p.title(): "1", p.upper(): "2"}, False, True),
            ({p: "p", p.upper(): "2"}, {p: "p", p.upper(): "2"}, False, True),
            # Names that only begin like the movie or its new name.
            ({p: "p", d + ".bak": "b", "!zulogo": "z", p + "x": "x"},
             {d: "p", d + ".bak": "b", "!zulogo": "z", p + "x": "x"}, True, False),
        ]
        for avant, apres, ok, seul in cas:
            if not (seul and WINDOWS):
                with self.subTest(avant=avant):
                    self.verifier({**deux, **avant}, {**deux_faits, **apres}, ok)

    def test_failed_write_goes_unnoticed(self):
        r, w = os.pipe()
        os.close(r)  # a pipe nobody reads
        with open("/dev/full", "w") as plein:
            for sortie in (None, plein, w):
                with self.subTest(sortie=sortie):
                    st, _, err, apres = essai(PRETS, (), sortie)
                    self.assertEqual((st, err, apres), (0, "", FAITS))
        os.close(w)

    def test_there_and_back(self):
        # This program, then the other one: the folder as it was, but for
        # a movie found in capitals, which comes back under its own name.
        de = PAIRES[1][0]
        propre = {**{k: "film " + k for k in PRETS}, "lisez-moi.txt": "x", "!autre.vp6": "y",
                  "sous": "/"}
        for haut in (False, True):
            avant = dict(propre)
            if haut:
                avant[de.upper()] = avant.pop(de)
            with self.subTest(capitales=haut):
                st, out, _, apres = essai(avant, exes=(EXE, AUTRE))
                self.assertEqual((st, out, apres), (0, OK + FIN, propre))


if __name__ == "__main__":
    unittest.main()
