"""The programs as black boxes, each case in a fresh folder and a session of
its own, with no terminal or on a pseudo-terminal. DM_EXE names the program
under test, DM_AUTRE the one that renames the other way, DM_LAUNCHER what
runs them (wine for the .exe), DM_PRELOAD a library that makes chosen calls
of the C library fail (force.cpp)."""

import errno as E, fcntl, os, re, select, shlex, signal as S, subprocess as sp  # noqa: E401
import socket, sys, tempfile, termios, time, unittest  # noqa: E401
from pathlib import Path

EXE, AUTRE = os.environ["DM_EXE"], os.environ.get("DM_AUTRE", "")
LANCEUR = shlex.split(os.environ.get("DM_LAUNCHER", ""))
WIN = EXE.endswith(".exe")
OK, ERR = "Operation reussie !", "Erreur : fichiers introuvables !"
FILMS = ("attract_movie_french_pal.vp6", "zulogo_french_pal.vp6", "psa_french_pal.vp6")
RETOUR = Path(EXE).name.startswith("enable")  # renames each "!" name back
FIN = "\r\n" if WIN else "\n"  # stdout is in text mode on Windows
FERME = ["sh", "-c", 'exec "$@" >&-', "sh"]  # stdout closed
PAIRES = [("!" + f, f) if RETOUR else (f, "!" + f) for f in FILMS]  # each rename: from, to


def lancer(cmd, d, job=(), ignore=(), bloque=(), **kw):
    """Starts job + cmd in d, in a session of its own with a terminal on
    stderr as its terminal, the signals in ignore ignored and the others at
    their default actions, those in bloque blocked."""
    def enfant():
        for s in (S.SIGINT, S.SIGQUIT, S.SIGHUP, S.SIGTERM, S.SIGPIPE):
            S.signal(s, S.SIG_IGN if s in ignore else S.SIG_DFL)
        S.pthread_sigmask(S.SIG_BLOCK, bloque)
        if os.isatty(2):
            fcntl.ioctl(2, termios.TIOCSCTTY, 0)
    return sp.Popen([*job, *LANCEUR, *cmd], cwd=d, start_new_session=True, preexec_fn=enfant, **kw)


ATTENTE = 5  # seconds a step may take at most, so that a row that hangs fails on its own


def finir(p):
    """Waits a few seconds at most for p, then kills its session."""
    try:
        return p.communicate(timeout=ATTENTE)
    finally:
        if p.poll() is None:
            os.killpg(p.pid, S.SIGKILL)


def essai(avant, exes=(EXE,), args=(), force=None, **kw):
    """Runs exes in turn with no terminal in a folder holding avant, {name:
    contents} where "/" is a folder, "->x" a link to x and "=x" a hard link
    to x, made after x; force: {call:
    errno} for calls that fail. The last one's status, stdout and stderr,
    and the folder."""
    with tempfile.TemporaryDirectory() as d:
        for nom, v in avant.items():
            f = Path(d, nom)
            (f.mkdir() if v == "/" else f.symlink_to(v[2:]) if v[:2] == "->"
             else os.link(Path(d, v[1:]), f) if v[:1] == "=" else f.write_text(v))
        if force and not os.environ["DM_PRELOAD"]:  # set, and empty: a static program or an .exe
            raise unittest.SkipTest("no library to preload: this program takes none")
        env = {**os.environ, **{"DM_FORCE_" + f: str(e) for f, e in (force or {}).items()},
               **({"LD_PRELOAD": os.environ["DM_PRELOAD"]} if force else {})}
        for exe in exes:
            p = lancer([exe, *args], d, env=env, **{"stdin": sp.DEVNULL, "stdout": sp.PIPE,
                                                    "stderr": sp.PIPE, **kw})
            out, err = finir(p)
        return p.returncode, (out or b"").decode(), err.decode(), {
            p.name: "->" + os.readlink(p) if p.is_symlink() else "/" if p.is_dir()
            else p.read_text() for p in Path(d).iterdir()}


def etats():
    """Each movie there or not, its new name taken or not: 64 states, among
    them a second run and a folder without any movie; arguments change
    nothing. (before, after, verdict, how it runs)."""
    args = ((), ["--help"], ["/?"], ["-r", PAIRES[0][0]], ["", "a b"])
    for etat in range(64):
        avant, apres = {}, {}
        for i, (de, vers) in enumerate(PAIRES):
            if etat >> 2 * i & 1:
                avant[de] = apres[de] = "film " + de
            if etat >> 2 * i & 2:
                avant[vers] = apres[vers] = "pris"
            elif de in avant:
                apres[vers] = apres.pop(de)
        yield avant, apres, etat == 0b010101, {"args": args[etat % 5]}


def noms():
    """The psa movie in odd company, the other two renamed beside it. When
    the verdict is a success the psa movie, under whatever spelling, has
    moved to its new name; otherwise nothing has changed."""
    (a, b), (z, y), (p, d) = PAIRES
    cas = [  # before, verdict, under Wine too (it takes a dangling link for no file), or after
        # there, where Wine takes the exact name and then sees the other one left
        ({p: "p", d: "->ailleurs"}, False, False), ({p: "/", d: "/"}, False, True),
        ({p.upper(): "p"}, True, True), ({p: "p", d.title(): "x"}, False, True),
        ({p: "p", d: "=" + p}, False, True),  # the new name another link to the movie
        # Two spellings, exact or not: which one was meant is not guessed.
        ({p.title(): "1", p.upper(): "2"}, False, False),
        ({p: "p", p.upper(): "2"}, False, {d: "p", p.upper(): "2"}),
        # Names that only begin like the movie or its new name.
        ({p: "p", d + ".bak": "b", "!zulogo": "z", p + "x": "x"}, True, True),
    ]
    for avant, ok, wine in cas:
        apres = wine if WIN and wine is not True else {
            d if ok and k.lower() == p else k: avant[v[1:]] if v[:1] == "=" else v
            for k, v in avant.items()}
        if wine or not WIN:
            yield {a: "a", z: "z", **avant}, {b: "a", y: "z", **apres}, ok, {}


def retours():
    """This program, then the other: the folder as it was."""
    avant = {**{de: "film " + de for de, _ in PAIRES}, "a.txt": "x", "!a.vp6": "y", "sous": "/"}
    yield avant, avant, True, {"exes": (EXE, AUTRE)}


def forces():
    """The rename where the kernel lacks what it tries first, or where the
    folder cannot be read and only the rename sees a name taken: each call
    named fails the first time, for the attract movie."""
    (a, b), (z, y), (p, d) = PAIRES
    cas = [  # calls that fail, what stands at the attract movie's new name, whether it moves
        ({"opendir": E.EACCES}, {b: "pris"}, False),  # the kernel itself refuses to replace
        # No RENAME_NOREPLACE: a link, then an unlink, undone when the unlink fails.
        ({"renameat2": E.EOPNOTSUPP}, {}, True), ({"renameat2": E.ENOSYS}, {}, True),
        ({"renameat2": E.EINVAL, "unlinkat": E.EACCES}, {}, False),
        ({"renameat2": E.EPERM}, {}, False),  # a refusal: no other way tried
        # No hard links either: look, then rename; a dangling link counts as taken.
        ({"renameat2": E.EINVAL, "linkat": E.EPERM}, {}, True),
        ({"renameat2": E.EINVAL, "linkat": E.EMLINK}, {}, True),
        ({"opendir": E.EACCES, "renameat2": E.EINVAL, "linkat": E.EOPNOTSUPP}, {b: "->x"}, False),
        ({"renameat2": E.EINVAL, "linkat": E.EIO}, {}, False),  # a real error
    ]
    for force, la, bouge in cas:
        yield {a: "a", z: "z", p: "p", **la}, {b if bouge else a: "a", y: "z", d: "p", **la}, \
            bouge, {"force": force}


def ecritures():
    """A standard output closed, full or a pipe nobody reads changes nothing
    else, and the verdict is nowhere to check."""
    r, w = os.pipe()
    os.close(r)
    for kw in ({"job": FERME}, {"stdout": os.open("/dev/full", os.O_WRONLY)}, {"stdout": w}):
        yield {d: d for d, _ in PAIRES}, {v: d for d, v in PAIRES}, None, kw


class Run(unittest.TestCase):
    def test_renames(self):
        for avant, apres, ok, kw in [*etats(), *noms(), *retours(), *forces(), *ecritures()]:
            with self.subTest(avant=avant, **kw):
                st, out, err, vu = essai(avant, **kw)
                self.assertEqual((st, err, vu), (0, "", apres))
                if ok is not None:
                    self.assertEqual(out, (OK if ok else ERR) + FIN)


def ecran(s):
    """What the terminal shows, without control sequences. Wine's console
    moves the cursor where it could write spaces: there, spaces are left out
    of the comparison too."""
    s = re.sub(r"\x1b(\[[\x20-\x3f]*[\x40-\x7e]|[^\[])", "", s)
    return "".join(s.split()) if WIN else s


def attendre(cond, t=ATTENTE):
    """Waits t seconds at most until cond() holds; whether it does."""
    for _ in range(t * 100):
        if cond():
            return True
        time.sleep(0.01)
    return False


def etat(pid):
    """What /proc shows of process pid after its name: [0] its state, as ps
    shows it (S asleep, T stopped, Z or X ended), [3] its session, [11] and
    [12] the CPU ticks it has used."""
    try:
        return Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    except OSError:  # gone, or not a process
        return ["X"]


def cru(m, oui=True):
    """Waits until the terminal is in raw mode, or with oui false out of it."""
    return attendre(lambda: bool(termios.tcgetattr(m)[3] & termios.ICANON) != oui)


def lache(t, sh='"$@"; read r', m="m", par=(), avant=0):
    """A launcher that starts the program, through par if given, avant
    seconds after forking, and leaves after t seconds without waiting; started
    by the shell script sh, with job control unless m is empty. The program's
    first poll says the terminal ready, as when another reader then takes
    the byte: its read must not block."""
    return ["sh", f"-{m}c", sh, "sh", sys.executable, "-c", "import os, sys, time; p = os.fork(); "
            f"p or time.sleep({avant}) or os.execvp(sys.argv[1], sys.argv[1:]); "
            f"open('pid', 'w').write(str(p)); time.sleep({t})", *par,
            "env", "LD_PRELOAD=" + os.environ["DM_PRELOAD"], "DM_FORCE_poll=0"]


# Its shell a subreaper, as the first process of a namespace or a container is: it adopts the
# program once the launcher has gone.
REAPER = [sys.executable, "-c", "import ctypes, os, sys; ctypes.CDLL(None).prctl(36, 1, 0, 0, 0); "
          "os.execvp(sys.argv[1], sys.argv[1:])"]
FOND = ["sh", "-mc", '"$@" & sleep 1; wait $!', "sh"]  # a job-control shell's background job
ARRET = ["sh", "-mc", '"$@"; read r; fg', "sh"]  # a shell that puts it back on a line
DEUX = ["sh", "-mc", '"$@"; read r; fg; read r; fg', "sh"]  # the same, twice
ARRIERE = ["sh", "-mc", '"$@"; read r; bg; >bg; read r; fg && [ "$r" = ab ]', "sh"]  # bg, a line
PARENT = ["sh", "-c", '"$@"; :', "sh"]  # the program's parent, there as long as the program
TUE = ["sh", "-mc", '"$@"; read r; kill %1; bg; wait %1', "sh"]  # ended, stopped
# Its output read by a pager, which keeps the terminal's settings and puts them back when done.
PAGER = ["sh", "-c", '"$@" | { s=$(stty -g <&2); stty -echo <&2; cat; stty "$s" <&2; }', "sh"]
VU = ERR + "\r\n"  # the screen after a run: the verdict alone
PAUSE = [  # name, how it starts, steps, exit status, what the screen shows (None: not looked
    # at), bytes left unread (None: the terminal is gone). A key is typed once the terminal is
    # in raw mode, so that a program that does not wait fails there: the bytes of one step at
    # once, each step 10 ms after the one before. With no step, it must end by itself.
    ("letter", {}, [b"x"], 0, VU, 0), ("Escape", {}, [b"\x1b"], 0, VU, 0),
    ("arrow in bytes", {}, [b"\x1b", b"[", b"A"], 0, VU, 0), ("Ctrl+C", {}, [b"\x03"], 0, VU, 0),
    ("console F1", {}, [b"\x1b[[A"], 0, VU, 0), ("Alt+e acute", {}, [b"\x1b\xc3\xa9"], 0, VU, 0),
    ("Ctrl+S", {}, [b"\x13"], 0, VU, 0), ("F5 and letter", {}, [b"\x1b[15~x"], 0, VU, 1),
    ("Shift+F1", {}, [b"\x1bO2Px"], 0, VU, 1), ("Shift+F1 in full", {}, [b"\x1bO1;2Px"], 0, VU, 1),
    ("rxvt's Shift+F11, ended by $", {}, [b"\x1b[23$z"], 0, VU, 1),
    ("key typed before", {"tape": b"k"}, [], 0, None, 0),
    # Where it must not wait, must wait, and must have written the verdict.
    ("background job", {"job": FOND}, [], 0, None, 0),
    # The "cmd &" of a script, SIGINT and SIGQUIT ignored as sh does, or blocked as fish does.
    ("& in a script", {"job": ["sh", "-c", '"$@" & wait', "sh"]}, [], 0, None, 0),
    ("& of a fish script", {"bloque": [S.SIGINT, S.SIGQUIT]}, [], 0, None, 0),
    ("stdin redirected", {"stdin": sp.DEVNULL}, [b"k"], 0, VU, 0),
    ("stdout a file", {"job": ["sh", "-c", 'exec "$@" >f', "sh"]}, ["verdict", b"k"], 0, "", 0),
    ("stdout to a pager", {"job": PAGER}, [], 0, VU, 0),
    ("stdout a socket", {"stdout": socket.socketpair()[0]}, [], 0, "", 0),
    ("stdout closed", {"job": FERME}, [b"k"], 0, "", 0),
    # Signals, after which the terminal is as found; stopped, then fg.
    *[(s.name, {}, [s], -s, VU, 0) for s in (S.SIGINT, S.SIGTERM, S.SIGHUP, S.SIGQUIT, S.SIGUSR1,
                                              S.SIGALRM, S.SIGRTMAX, S.SIGSEGV)],
    # SIGQUIT alone ignored too, as busybox sh -c starts a command: it still waits.
    ("SIGHUP, SIGQUIT ignored", {"ignore": [S.SIGHUP, S.SIGQUIT]}, [S.SIGHUP, b"k"], 0, VU, 0),
    ("hung up, SIGHUP ignored", {"ignore": [S.SIGHUP]}, ["raccroche"], 0, None, None),
    *[(s.name, {"job": ARRET}, [s, "arret", b"\x1b[A"], 0, None, 0)
      for s in (S.SIGTSTP, S.SIGTTIN, S.SIGTTOU)],
    ("stopped twice", {"job": DEUX}, [*[S.SIGTSTP, "arret"] * 2, b"\x1b[A"], 0, None, 0),
    ("bg then fg", {"job": ARRIERE}, [S.SIGTSTP, "arret", "calme", b"\x1b[A"], 0, None, 0),
    *[(n, {"job": job}, [b"", pas], 0, None, r) for n, job, pas, r in (  # b"": raw mode, no key
        ("launcher gone", lache(0.3), "ailleurs", 0),
        ("launcher gone after a look", lache(2.5, par=PARENT), "ailleurs", 0),
        ("its shell gone too", lache(0.3, '"$@"; exit', par=PARENT), "ailleurs", 3),  # unread
        ("launcher gone, no job control", [*REAPER, *lache(0.3, '"$@"; read r; [ $r = ab ]', "")],
         "seul", 0))],
    # Gone before the program starts, under a shell without job control, which then reads a line
    # typed before: the program must leave it whole.
    ("launcher gone before", {"job": lache(0, '"$@"; sleep 1; read r; [ $r = ab ]', "", avant=0.3),
                              "tape": b"ab\n"}, [], 0, None, 0),
    # In the background, the first process of a PID namespace, or its child: the line typed
    # stays unread.
    *[(n, {"job": [*FOND, "unshare", "-pf", *par], "tape": b"k\n"}, ["calcul"], 0, None, 2)
      for n, par in (("PID namespace", ()), ("its group outside its PID namespace", PARENT))],
    # Its first process in the foreground waits; in a group of its own, its unshare stopped from
    # outside, it leaves the terminal to the shell, without spinning on the line typed for it.
    ("PID namespace, foreground", {"job": ["unshare", "-pf"]}, [b"k"], 0, VU, 0),
    ("its unshare stopped", {"job": ["sh", "-mc", '{ sleep 1; pkill -STOP -P $$ -x unshare; } & '
                                     '"$@"; sleep 3; read r', "sh", "unshare", "-pf", "bash", "-mc",
                                     'exec "$@"', "sh"]}, [b"", "ailleurs", "calcul"], 0, None, 0),
    ("SIGTERM when stopped", {"job": TUE}, [S.SIGSTOP, "ailleurs"], 128 + S.SIGTERM, None, 0),
]
# Under Wine the console's, not the program's: a key, and even with stdout a pipe (to a file
# here), a wait with the verdict out before it.
WINE = [PAUSE[0], ("pipe", {"job": ["sh", "-c", '"$@"|cat>f', "sh"]}, ["verdict", b"k"], 0, "", 0)]


class Pause(unittest.TestCase):
    @unittest.skipIf(RETOUR, "both programs share the pause: it runs once")
    def test_wait_for_one_key(self):
        for nom, kw, pas, st, vu_attendu, reste in WINE if WIN else PAUSE:
            with self.subTest(nom), tempfile.TemporaryDirectory() as d:  # no movie: ERR
                if "unshare" in kw.get("job", ()) and os.system("unshare -pf true 2>&-"):
                    self.skipTest("no PID namespace here: root only, where the kernel allows")
                m, s = os.openpty()
                avant = termios.tcgetattr(s)
                os.write(m, kw.get("tape", b""))  # typed before it starts
                p = lancer([EXE], d, **{"stdin": s, "stdout": s, "stderr": s,
                                        **{k: v for k, v in kw.items() if k != "tape"}})
                try:
                    for x in pas:
                        if x == "raccroche":  # the terminal gone: it ends within a second
                            self.assertTrue(cru(m), "never in raw mode")
                            os.close(m)
                            m = None
                            p.wait(1)
                        elif x == "arret":  # stopped: the terminal as found; a line for fg
                            self.assertTrue(cru(m, False) and termios.tcgetattr(s) == avant,
                                            "stopped, the terminal not as found")
                            os.write(m, b"\n")
                        elif x in ("ailleurs", "seul"):  # stopped, or left by its launcher
                            if x == "ailleurs":  # the terminal back with the shell, which sets it
                                self.assertTrue(attendre(lambda: os.tcgetpgrp(m) != job))
                                avant[3] &= ~termios.ECHO
                                termios.tcsetattr(s, termios.TCSANOW, avant)
                            if Path(d, "pid").exists():  # left by its launcher: it ends, no key
                                pid = Path(d, "pid").read_text()
                                self.assertTrue(attendre(lambda: etat(pid)[0] in "XZ", 2), "waits")
                            os.write(m, b"ab\n")  # a line for the shell, to be read whole
                        elif x == "calcul":  # a second on, its session has used a few ticks at most
                            time.sleep(1)
                            f = [v for v in map(etat, os.listdir("/proc")) if str(p.pid) in v[3:4]]
                            self.assertLess(sum(int(v[11]) + int(v[12]) for v in f), 10, "spins")
                        elif x == "calme":  # bg: the terminal left alone, stopped at its read
                            self.assertTrue(attendre(lambda: Path(d, "bg").exists()), "no bg")
                            time.sleep(0.25)
                            self.assertEqual(termios.tcgetattr(s), avant)
                            self.assertTrue(attendre(lambda: etat(job)[0] == "T"), "not stopped")
                            os.write(m, b"ab\n")  # a line for the shell meanwhile
                        elif x == "verdict":  # in the file f while it waits, before the key
                            lu = lambda: Path(d, "f").read_bytes() == (ERR + FIN).encode()  # noqa
                            self.assertTrue(cru(m) and attendre(lu), "no raw mode, or no verdict")
                        else:  # Enter, as found, still ends a shell's line after a kill -9
                            self.assertTrue(cru(m), "never in raw mode")  # (Wine's own mode)
                            self.assertTrue(WIN or termios.tcgetattr(s)[0] & termios.ICRNL, "icrnl")
                            time.sleep(0.01)
                            job = os.tcgetpgrp(m)  # the job in the foreground: a key, or a signal
                            os.write(m, x) if isinstance(x, bytes) else os.killpg(job, x)
                finally:
                    if sys.exc_info()[0]:  # a step failed: the program is not waited for
                        os.killpg(p.pid, S.SIGKILL)
                    finir(p)
                    vu, n, intact = b"", None, None
                    if m is not None:
                        while select.select([m], [], [], 0.05)[0]:
                            vu += os.read(m, 4096)
                        n = int.from_bytes(fcntl.ioctl(s, termios.FIONREAD, b"\0" * 4), "little")
                        intact = termios.tcgetattr(s) == avant
                        os.close(m)
                    os.close(s)
                self.assertEqual(p.returncode, st)
                if vu_attendu is not None:  # the verdict where it goes, and nothing of the key
                    self.assertEqual(ecran(vu.decode(errors="replace")), ecran(vu_attendu))
                if not WIN and reste is not None:  # Wine's console, not the program, owns it
                    self.assertEqual((n, intact), (reste, True))
