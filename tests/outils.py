"""Helpers shared by the test modules: the program under test run as a black
box in a scratch directory, with no terminal or with a pseudo-terminal.

DM_EXE names the program, DM_LAUNCHER what runs it (wine for the .exe)."""

import fcntl
import os
import select
import shlex
import signal
import subprocess
import tempfile
import termios
import time

EXE = os.environ["DM_EXE"]
LANCEUR = shlex.split(os.environ.get("DM_LAUNCHER", ""))
WINDOWS = EXE.endswith(".exe")
FIN = "\r\n" if WINDOWS else "\n"  # stdout is in text mode on Windows
OK = "Operation reussie !"
ERR = "Erreur : fichiers introuvables !"
FILMS = ("attract_movie_french_pal.vp6", "zulogo_french_pal.vp6", "psa_french_pal.vp6")


def creer(d, arbre):
    """Fills d from {name: contents}: "/" is a directory, "->x" a link to x."""
    for nom, v in arbre.items():
        p = os.path.join(d, nom)
        if v == "/":
            os.mkdir(p)
        elif v.startswith("->"):
            os.symlink(v[2:], p)
        else:
            with open(p, "w") as f:
                f.write(v)


def lire(d):
    """What d holds, in the form creer takes."""
    a = {}
    for e in os.scandir(d):
        if e.is_symlink():
            a[e.name] = "->" + os.readlink(e.path)
        elif e.is_dir():
            a[e.name] = "/"
        else:
            with open(e.path) as f:
                a[e.name] = f.read()
    return a


def defaut(ferme=False):
    """In the child: default signal actions, whatever the test runner ignores."""
    for s in (signal.SIGINT, signal.SIGQUIT, signal.SIGHUP, signal.SIGTERM, signal.SIGPIPE):
        signal.signal(s, signal.SIG_DFL)
    if ferme:
        os.close(1)


def essai(avant, args=(), sortie=subprocess.PIPE):
    """Runs the program once, in a new session with no terminal and stdin
    from /dev/null, in a fresh directory holding avant. sortie: where stdout
    goes, None for closed. Returns (status, stdout, stderr, what d holds)."""
    with tempfile.TemporaryDirectory() as d:
        creer(d, avant)
        p = subprocess.Popen(LANCEUR + [EXE, *args], cwd=d, stdin=subprocess.DEVNULL,
                             stdout=sortie or subprocess.DEVNULL, stderr=subprocess.PIPE,
                             start_new_session=True, preexec_fn=lambda: defaut(sortie is None))
        try:
            out, err = p.communicate(timeout=30)
        finally:
            if p.poll() is None:
                os.killpg(p.pid, signal.SIGKILL)
        return p.returncode, (out or b"").decode(), err.decode(), lire(d)


class Tty:
    """The program with a pseudo-terminal as its controlling terminal. The
    slave end stays open here, to read the terminal's settings and count what
    is left in its input."""

    def __init__(self, d, entree=None, tape=b"", fond=False):
        self.m, self.s = os.openpty()
        self.avant = termios.tcgetattr(self.s)
        os.write(self.m, tape)

        def enfant():
            defaut()
            fcntl.ioctl(1, termios.TIOCSCTTY, 0)

        # fond: as a background job of a shell with job control.
        job = ["sh", "-mc", '"$@" & wait $!', "sh"] if fond else []
        self.p = subprocess.Popen(job + LANCEUR + [EXE], cwd=d, stdin=entree or self.s,
                                  stdout=self.s, stderr=self.s, start_new_session=True,
                                  preexec_fn=enfant)

    def brut(self):
        """Waits until the program has put the terminal in raw mode."""
        for _ in range(3000):
            if not termios.tcgetattr(self.m)[3] & termios.ICANON:
                return True
            time.sleep(0.01)
        return False

    def taper(self, octets, pas=0):
        """Types the bytes, pas seconds apart, or all in one write."""
        for b in [octets[i:i + 1] for i in range(len(octets))] if pas else [octets]:
            time.sleep(pas)
            os.write(self.m, b)

    def fermer(self):
        """Waits for the end: (status, what the terminal showed)."""
        try:
            self.p.wait(timeout=30)
        finally:
            if self.p.poll() is None:
                os.killpg(self.p.pid, signal.SIGKILL)
        ecran = b""
        while select.select([self.m], [], [], 0.05)[0]:
            ecran += os.read(self.m, 4096)
        return self.p.returncode, ecran.decode(errors="replace")

    def intact(self):
        return termios.tcgetattr(self.s) == self.avant

    def reste(self):
        """Bytes left unread in the terminal's input."""
        return int.from_bytes(fcntl.ioctl(self.s, termios.FIONREAD, b"\0" * 4), "little")

    def __del__(self):
        os.close(self.s)
        os.close(self.m)
