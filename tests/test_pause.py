"""The wait for one key, with a pseudo-terminal as the program's terminal."""

import re
import signal
import subprocess
import tempfile
import unittest

from outils import ERR, WINDOWS, Tty


def ecran(s):
    """What the terminal shows, without control sequences. Wine's console
    moves the cursor where it could write spaces: there, spaces are left out
    of the comparison too."""
    s = re.sub(r"\x1b(\[[\x20-\x3f]*[\x40-\x7e]|[^\[])", "", s)
    return "".join(s.split()) if WINDOWS else s


# A run in an empty directory shows the verdict, and nothing of the key.
ECRAN = ecran(ERR + "\r\n")


class Pause(unittest.TestCase):
    def setUp(self):
        self.dossier = tempfile.TemporaryDirectory()
        self.d = self.dossier.name

    def tearDown(self):
        self.dossier.cleanup()

    def test_one_key_press_ends_the_wait(self):
        cas = [  # name, bytes, seconds between them, bytes left for the next reader
            ("letter", b"a", 0, 0), ("Enter", b"\r", 0, 0), ("Escape", b"\x1b", 0, 0),
            ("arrow", b"\x1b[A", 0, 0), ("arrow in bytes", b"\x1b[A", 0.03, 0),
            ("F1", b"\x1bOP", 0, 0), ("F5", b"\x1b[15~", 0, 0), ("Ctrl+arrow", b"\x1b[1;5C", 0, 0),
            ("console F1", b"\x1b[[A", 0, 0), ("Alt+e acute", b"\x1b\xc3\xa9", 0, 0),
            ("e acute", b"\xc3\xa9", 0, 0), ("Ctrl+C", b"\x03", 0, 0), ("Ctrl+Z", b"\x1a", 0, 0),
            ("two letters", b"ab", 0, 1), ("arrow and letter", b"\x1b[Ax", 0, 1),
        ]
        for nom, touches, pas, reste in cas:
            if WINDOWS and nom != "letter":
                continue  # Wine's console in a terminal is not Windows' own
            with self.subTest(nom):
                t = Tty(self.d)
                self.assertTrue(t.brut())
                t.taper(touches, pas)
                st, vu = t.fermer()
                self.assertEqual((st, ecran(vu)), (0, ECRAN))
                if not WINDOWS:
                    self.assertEqual((t.reste(), t.intact()), (reste, True))

    @unittest.skipIf(WINDOWS, "Wine's console, not the program, owns the terminal")
    def test_key_typed_before_the_wait(self):
        t = Tty(self.d, tape=b"k")
        self.assertEqual(t.fermer()[0], 0)
        self.assertEqual((t.reste(), t.intact()), (0, True))

    @unittest.skipIf(WINDOWS, "Wine's console, not the program, owns the terminal")
    def test_background_job_leaves_the_terminal_alone(self):
        t = Tty(self.d, fond=True)
        self.assertEqual(t.fermer()[0], 0)
        self.assertTrue(t.intact())

    @unittest.skipIf(WINDOWS, "Wine's console, not the program, owns the terminal")
    def test_redirected_input_does_not_end_the_wait(self):
        with open("/etc/passwd") as entree:
            t = Tty(self.d, entree)
        self.assertTrue(t.brut())
        with self.assertRaises(subprocess.TimeoutExpired):
            t.p.wait(0.3)
        t.taper(b"k")
        self.assertEqual(t.fermer()[0], 0)

    @unittest.skipIf(WINDOWS, "Wine's console, not the program, owns the terminal")
    def test_terminal_restored_when_killed(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT):
            with self.subTest(sig=sig):
                t = Tty(self.d)
                self.assertTrue(t.brut())
                t.p.send_signal(sig)
                self.assertEqual((t.fermer()[0], t.intact()), (-sig, True))


if __name__ == "__main__":
    unittest.main()
