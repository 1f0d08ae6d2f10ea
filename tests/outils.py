"""Helpers shared by the test modules: the program run as a black box in a
fresh directory, with no terminal or on a pseudo-terminal. DM_EXE names the
program, DM_LAUNCHER what runs it (wine for the .exe)."""

import fcntl
import os
import select
import shlex
import signal
import subprocess
import tempfile
import termios
import time
from pathlib import Path

EXE = os.environ["DM_EXE"]
AUTRE = os.environ.get("DM_AUTRE", "")  # the program that renames the other way
LANCEUR = shlex.split(os.environ.get("DM_LAUNCHER", ""))
WINDOWS = EXE.endswith(".exe")
FIN = "\r\n" if WINDOWS else "\n"  # stdout is in text mode on Windows
OK, ERR = "Operation reussie !", "Erreur : fichiers introuvables !"
FILMS = ("attract_movie_french_pal.vp6", "zulogo_french_pal.vp6", "psa_french_pal.vp6")
RETOUR = os.path.basename(EXE).startswith("enable")
# Each movie's rename by this program: (from, to).
PAIRES = [("!" + f, f) if RETOUR else (f, "!" + f) for f in FILMS]


def creer(d, arbre):
    """Fills d from {name: contents}: "/" is a directory, "->x" a link to x."""
    for nom, v in arbre.items():
        p = Path(d, nom)
        if v == "/":
            p.mkdir()
        elif v.startswith("->"):
            p.symlink_to(v[2:])
        else:
            p.write_text(v)


def lire(d):
    """What d holds, in the form creer takes."""
    return {p.name: "->" + os.readlink(p) if p.is_symlink() else "/" if p.is_dir()
            else p.read_text() for p in Path(d).iterdir()}


def lancer(cmd, ferme=False, ignore=(), **kw):
    """Starts cmd in a session of its own, the signals in ignore ignored and
    the others at their default actions whatever the test runner ignores;
    ferme: with stdout closed."""
    def enfant():
        for s in (signal.SIGINT, signal.SIGQUIT, signal.SIGHUP, signal.SIGTERM, signal.SIGPIPE):
            signal.signal(s, signal.SIG_IGN if s in ignore else signal.SIG_DFL)
        if ferme:
            os.close(1)
        elif os.isatty(2):  # stderr: stdout may be redirected
            fcntl.ioctl(2, termios.TIOCSCTTY, 0)
    return subprocess.Popen(cmd, start_new_session=True, preexec_fn=enfant, **kw)


def attendre(p):
    """Waits at most 30 s for p, then kills its whole session."""
    try:
        return p.communicate(timeout=30)
    finally:
        if p.poll() is None:
            os.killpg(p.pid, signal.SIGKILL)


def essai(avant, args=(), sortie=subprocess.PIPE, exes=(EXE,)):
    """Runs each of exes in turn with no terminal and stdin from /dev/null in
    a fresh directory holding avant; sortie: its stdout, None for closed.
    Returns (status, stdout, stderr) of the last, and what the directory
    holds then."""
    with tempfile.TemporaryDirectory() as d:
        creer(d, avant)
        for exe in exes:
            p = lancer(LANCEUR + [exe, *args], sortie is None, cwd=d, stdin=subprocess.DEVNULL,
                       stdout=sortie, stderr=subprocess.PIPE)
            out, err = attendre(p)
        return p.returncode, (out or b"").decode(), err.decode(), lire(d)


class Tty:
    """The program with a pseudo-terminal as its controlling terminal; the
    slave end stays open here, to read the terminal's settings and input."""

    def __init__(self, d, tape=b"", job=(), **kw):
        """job: the command line that starts the program, in front of it;
        kw: lancer's, as stdin or stdout instead of the terminal."""
        self.m, self.s = os.openpty()
        self.avant = termios.tcgetattr(self.s)
        os.write(self.m, tape)  # typed before the program starts
        self.p = lancer([*job, *LANCEUR, EXE], cwd=d,
                        **{"stdin": self.s, "stdout": self.s, "stderr": self.s, **kw})

    def brut(self, oui=True):
        """Waits until the program has put the terminal in raw mode, or
        with oui false until it has taken it out."""
        for _ in range(3000):
            if bool(termios.tcgetattr(self.m)[3] & termios.ICANON) != oui:
                return True
            time.sleep(0.01)
        return False

    def taper(self, octets, pas=0):
        """Types the bytes pas seconds apart, or all in one write."""
        for b in [octets[i:i + 1] for i in range(len(octets))] if pas else [octets]:
            time.sleep(pas)
            os.write(self.m, b)

    def fermer(self):
        """Waits for the end: (status, what the terminal showed)."""
        attendre(self.p)
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
