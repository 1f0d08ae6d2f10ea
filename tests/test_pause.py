"""The wait for one key, with a pseudo-terminal as the program's terminal."""

import os
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


class Pause(unittest.TestCase):
    def setUp(self):
        self.d = self.enterContext(tempfile.TemporaryDirectory())  # no movie: the error line

    def test_one_key_press_ends_the_wait(self):
        cas = [  # name, bytes, seconds between them, bytes left for the next reader
            ("letter", b"a", 0, 0), ("Enter", b"\r", 0, 0), ("Escape", b"\x1b", 0, 0),
            ("arrow", b"\x1b[A", 0, 0), ("arrow in bytes", b"\x1b[A", 0.03, 0),
            ("F1", b"\x1bOP", 0, 0), ("F5", b"\x1b[15~", 0, 0), ("Ctrl+arrow", b"\x1b[1;5C", 0, 0),
            ("console F1", b"\x1b[[A", 0, 0), ("Alt+e acute", b"\x1b\xc3\xa9", 0, 0),
            ("e acute", b"\xc3\xa9", 0, 0), ("Ctrl+C", b"\x03", 0, 0), ("Ctrl+Z", b"\x1a", 0, 0),
            ("Ctrl+S", b"\x13", 0, 0),
            ("two letters", b"ab", 0, 1), ("arrow and letter", b"\x1b[Ax", 0, 1),
        ]
        for nom, touches, pas, reste in cas[:1] if WINDOWS else cas:
            with self.subTest(nom):
                t = Tty(self.d)
                self.assertTrue(t.brut())
                t.taper(touches, pas)
                st, vu = t.fermer()
                # The verdict, and nothing of the key.
                self.assertEqual((st, ecran(vu)), (0, ecran(ERR + "\r\n")))
                if not WINDOWS:  # Wine's console, not the program, owns the terminal
                    self.assertEqual((t.reste(), t.intact()), (reste, True))


@unittest.skipIf(WINDOWS, "Wine's console, not the program, owns the terminal")
class Terminal(unittest.TestCase):
    setUp = Pause.setUp

    def test_how_the_wait_begins(self):
        with open("/etc/passwd") as fichier:
            cas = [  # name, how the program is started, whether it waits for a key
                ("key typed before", {"tape": b"k"}, False),
                ("background job", {"job": ["sh", "-mc", '"$@" & wait $!', "sh"]}, False),
                ("& in a script", {"job": ["sh", "-c", '"$@" & wait', "sh"]}, False),
                ("redirected stdin", {"stdin": fichier}, True),
                ("stdout a pipe", {"stdout": subprocess.PIPE}, True),
            ]
            for nom, comment, attend in cas:
                with self.subTest(nom):
                    t = Tty(self.d, **comment)
                    if attend:
                        self.assertTrue(t.brut())
                        self.assertRaises(subprocess.TimeoutExpired, t.p.wait, 0.3)
                        if t.p.stdout:  # the verdict is out before the key
                            os.set_blocking(t.p.stdout.fileno(), False)
                            self.assertEqual(t.p.stdout.read(), (ERR + "\n").encode())
                        t.taper(b"k")
                    self.assertEqual((t.fermer()[0], t.reste(), t.intact()), (0, 0, True))

    def test_signals_during_the_wait(self):
        cas = [  # signal, signals ignored when the program starts
            (signal.SIGINT, ()), (signal.SIGTERM, ()), (signal.SIGHUP, ()), (signal.SIGQUIT, ()),
            (signal.SIGHUP, (signal.SIGHUP,)),  # as under nohup: the wait goes on
        ]
        for sig, ignore in cas:
            with self.subTest(sig=sig, ignore=ignore):
                t = Tty(self.d, ignore=ignore)
                self.assertTrue(t.brut())
                t.p.send_signal(sig)
                if ignore:
                    self.assertRaises(subprocess.TimeoutExpired, t.p.wait, 0.3)
                    t.taper(b"k")
                self.assertEqual((t.fermer()[0], t.intact()), (0 if ignore else -sig, True))

    def test_stopped_then_fg(self):
        cas = [  # signal, what the shell does when a line is typed during the stop
            (signal.SIGTSTP, "fg"), (signal.SIGTTIN, "fg"), (signal.SIGTTOU, "fg"),
            (signal.SIGTSTP, "bg; sleep 0.5; fg"),  # continued in the background first
        ]
        for sig, suite in cas:
            with self.subTest(sig=sig, suite=suite):
                t = Tty(self.d, job=["sh", "-mc", '"$@"; read r; ' + suite, "sh"])
                self.assertTrue(t.brut())
                os.killpg(os.tcgetpgrp(t.m), sig)
                self.assertTrue(t.brut(False) and t.intact())  # as found while stopped
                t.taper(b"\n")
                self.assertTrue(t.brut())
                t.taper(b"\x1b[A")
                self.assertEqual((t.fermer()[0], t.reste(), t.intact()), (0, 0, True))


if __name__ == "__main__":
    unittest.main()
