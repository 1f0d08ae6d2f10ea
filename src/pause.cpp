// The console around the run: elsewhere than on Windows, SIGPIPE ignored
// before anything is written; then the wait for one key. On Windows the
// runtime's _getch does it all; elsewhere one key press is read from the
// controlling terminal, which is put in raw mode for the wait and then left
// as it was found.

#include "pause.h"

#include <stdio.h>

#ifdef _WIN32

#include <conio.h>

void preparer() {}

void attente()
{
    // The verdict is out before the wait, even into a file or pipe.
    (void)fflush(stdout);
    _getch(); // which key it was does not matter
}

#else

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

enum {
    ESC = 0x1b,
    DELAI = 100,   // ms the bytes of one key press may lag behind each other
    VEILLE = 1000, // ms between two looks at whether the terminal is still ours
    CSIMAX = 16,   // parameter bytes in the longest CSI or SS3 sequence read
    // The bytes of an escape sequence after its introducer, by their range:
    INTERM = 0x20, // intermediates, 0x20 to 0x2f, in a CSI sequence only
    PARAM = 0x30,  // parameters, 0x30 to 0x3f
    FINAL = 0x40,  // the final byte, 0x40 to 0x7e, which ends the sequence
    RXVT = '$',    // which ends rxvt's shifted keys, though an intermediate
};

static int tty = -1;
static termios orig;  // the terminal's settings as found, read once
static pid_t parent;  // the program's parent as the wait begins
static sigset_t bloq; // the signals blocked when the program started

// 1 while the terminal is in the wait's raw mode, and only then may it be
// restored, and only from the foreground: with SIGTTOU blocked, a restore
// from the background would overwrite the settings of the program that has
// the terminal.
static volatile sig_atomic_t cru;

// Signals handled during the wait: every one a program may catch whose
// uncaught action would end or stop it, as SIGINT, SIGTERM, SIGHUP, SIGUSR1,
// SIGALRM, the real-time ones and even SIGSEGV do, so that the terminal is
// never left raw; and SIGCONT, for fg or bg after a stop.
static bool gere(int sig)
{
    switch (sig) {
    case SIGKILL: // cannot be caught: the terminal then needs stty sane
    case SIGSTOP: // cannot be caught: fg takes the terminal back
    case SIGPIPE: // ignored by preparer() from the start
    case SIGCHLD: // these three do nothing uncaught
    case SIGURG:
    case SIGWINCH:
        return false;
    default:
        return true;
    }
}
static struct sigaction anc[NSIG]; // each signal's action when the program started
static sigset_t nos;               // those handled, blocked while the handler runs

// Whether sig was ignored when the program started.
static bool ignore_au_debut(int sig)
{
    return anc[sig].sa_handler == SIG_IGN;
}

// Whether sig was set aside when the program started: ignored, or blocked.
static bool ecarte(int sig)
{
    return ignore_au_debut(sig) || sigismember(&bloq, sig) == 1;
}

// Whether the terminal is the program's: still its controlling terminal, with
// the program's process group in the foreground. The kernel answers, whichever
// PID namespace the groups are numbered in: a read of no byte with SIGTTIN
// blocked fails with EIO from the background, and passes in the foreground
// (0, or EAGAIN where another read holds the terminal). Once the session is
// over the read passes too, but tcgetpgrp() fails.
static bool mien()
{
    if (tcgetpgrp(tty) < 0)
        return false;
    sigset_t ttin, m;
    sigemptyset(&ttin);
    sigaddset(&ttin, SIGTTIN);
    sigprocmask(SIG_BLOCK, &ttin, &m);
    char c;
    bool oui = read(tty, &c, 0) == 0 || errno == EAGAIN;
    sigprocmask(SIG_SETMASK, &m, nullptr);
    return oui;
}

// Whether the launcher has gone, leaving nobody to wait for the program: the
// parent is no longer the one noted as the wait began, for whoever adopts an
// orphan (init, or a subreaper such as a container's shell) does not wait
// for it; or, for a launcher gone before that, the parent lies outside the
// program's session, which the program does not lead itself (as it does when
// a terminal's -e, tmux new-window or setsid -c starts it). A parent outside
// the PID namespace reads as 0, and getsid(0) is the program's own session.
static bool parti()
{
    pid_t pp = getppid();
    pid_t s = getsid(0);
    return pp != parent || (s != getpid() && getsid(pp) != s);
}

// Puts the terminal in raw mode, so that one key is read as it is pressed.
static int entrer_cru()
{
    termios t = orig;
    t.c_lflag &= ~ICANON; // no line editing: no Enter needed
    t.c_lflag &= ~ECHO;   // the key is not shown
    t.c_lflag &= ~ISIG;   // Ctrl+C, Ctrl+Z, Ctrl+\ are keys
    t.c_lflag &= ~IEXTEN; // Ctrl+V and Ctrl+O are keys
    t.c_iflag &= ~IXON;   // Ctrl+S and Ctrl+Q are keys
    t.c_iflag &= ~IGNCR;  // Enter is a key, never dropped; ICRNL and INLCR stay
                          // as found, so that a shell after a kill -9 still
                          // ends the line "stty sane" at Enter
    t.c_iflag &= ~ISTRIP; // keep the 8th bit of UTF-8 bytes
    t.c_cc[VMIN] = 1;     // a read returns with one byte
    t.c_cc[VTIME] = 0;    // however long that byte takes
    cru = 1;              // before the change: a signal right after it must undo it
    // TCSANOW, not TCSAFLUSH: a key typed while the renames ran must stay
    // in the input and end the wait at once.
    return tcsetattr(tty, TCSANOW, &t);
}

// Leaves the terminal as it was found, if it is in the wait's raw mode and
// the program has it; in the background the terminal is the foreground
// program's, settings and all, and raw mode is only forgotten.
static void sortir_cru()
{
    if (cru && mien())
        tcsetattr(tty, TCSANOW, &orig);
    cru = 0;
}

extern "C" {
// Does what the signal would have done uncaught, the terminal as found
// meanwhile if the program has it: ends the program, so that whoever
// started it sees how it ended, or stops it until fg or bg. Back from a
// stop, or on any SIGCONT, a program in the foreground again puts the
// terminal in raw mode again and the wait goes on; in the background it
// leaves the terminal alone.
static void recu(int sig)
{
    int e = errno; // the poll or read interrupted looks at errno next
    if (sig != SIGCONT) {
        sortir_cru();
        struct sigaction dfl = {};
        struct sigaction nous = {};
        dfl.sa_handler = SIG_DFL;
        sigaction(sig, &dfl, &nous);
        sigset_t m;
        sigemptyset(&m);
        sigaddset(&m, sig);
        sigprocmask(SIG_UNBLOCK, &m, nullptr);
        // Ends or stops the program here. In a process group that no shell
        // looks after (an orphaned one) the kernel discards stops, and for
        // the first process of a PID namespace ends too: raise returns at
        // once, and the wait goes on. The SIGCONT that ends a stop resumes
        // the program whatever the mask, but its handler is one this
        // handler's mask blocks: it stays pending, and runs only once this
        // run has returned.
        (void)raise(sig);
        sigaction(sig, &nous, nullptr);
    }
    if (mien())
        (void)entrer_cru(); // should it fail, the wait goes on in the terminal's own mode
    else
        cru = 0; // the terminal is the foreground program's now
    errno = e;
}
}

static void armer()
{
    struct sigaction sa = {};
    sa.sa_handler = recu;
    sa.sa_mask = nos;
    for (int sig = 1; sig < NSIG; sig++)
        if (sigismember(&nos, sig) == 1 && !ignore_au_debut(sig)) // stays ignored
            sigaction(sig, &sa, nullptr);
}

static void desarmer()
{
    for (int sig = 1; sig < NSIG; sig++)
        if (sigismember(&nos, sig) == 1)
            sigaction(sig, &anc[sig], nullptr);
}

// What the look, once a second, at who is still there decides.
enum { ATTENDRE, LIRE, FINIR };

// The look: go on waiting while the program has the terminal and its
// launcher is there; stop once the launcher or the terminal's session has
// gone; read when the terminal has passed to another process group.
static int regarder()
{
    if (parti())
        return FINIR; // nobody waits for the program any more
    if (tcgetpgrp(tty) < 0)
        return FINIR; // its session is over: no longer the program's terminal
    if (mien())
        return ATTENDRE;
    // Passed to another process group, by bg, or by a launcher that left
    // while the program's parent stays: the read leaves it to the kernel.
    // From the background, it fails in a group no shell looks after, and the
    // wait ends; under a shell, SIGTTIN stops the program until fg. Either
    // way no key is taken.
    return LIRE;
}

// One byte from the terminal, waiting at most ms milliseconds, or with ms
// -1 for as long as the program has the terminal and its launcher is there.
// -1 when none came, the terminal is gone or lost, or the launcher gone. The
// read never blocks: another program reading the same terminal, as a shell
// without job control does, may take the byte that poll saw, and a read
// blocked then would never see the launcher go.
static int octet(int ms)
{
    pollfd p = {tty, POLLIN, 0};
    for (;;) {
        int r = poll(&p, 1, ms < 0 ? VEILLE : ms);
        p.fd = tty;
        if (r == 0 && ms >= 0)
            return -1;
        if (r < 0 && errno != EINTR)
            return -1;
        int v = r > 0 ? LIRE : regarder();
        if (v == FINIR)
            return -1;
        if (v == ATTENDRE)
            continue;
        unsigned char c;
        ssize_t n = read(tty, &c, 1);
        if (n == 1)
            return c;
        if (n == 0 || (errno != EINTR && errno != EAGAIN))
            return -1;
        // Interrupted, as by a stop and fg, or the byte taken by another
        // reader: back to poll. Interrupted while another group has the
        // terminal, as when the kernel discards the SIGTTIN that would stop
        // the first process of a PID namespace, the poll waits on nothing
        // until the next look: at once, it would read and be interrupted
        // again and again.
        if (errno == EINTR && !mien())
            p.fd = -1;
    }
}

// How many continuation bytes follow the UTF-8 lead byte c.
static int suite(int c)
{
    if (c >= 0xc2 && c <= 0xdf)
        return 1;
    if (c >= 0xe0 && c <= 0xef)
        return 2;
    if (c >= 0xf0 && c <= 0xf4)
        return 3;
    return 0;
}

// The rest of an escape sequence from its byte c on: the bytes from bas
// (INTERM or PARAM) up to the final byte, which is read too. rxvt ends its
// shifted keys with "$", an intermediate, as ESC [ 2 3 $ for Shift+F11: no
// key sends one to be followed by a final byte, so "$" ends a key too, and
// the key typed next stays unread.
static void finale(int c, int bas)
{
    for (int i = 0; c >= bas && c < FINAL && c != RXVT && i < CSIMAX; i++)
        c = octet(DELAI);
}

// The rest of a CSI sequence, after its "ESC [".
static void csi()
{
    int c = octet(DELAI);
    if (c == '[') { // the Linux console's F1 to F5: ESC [ [ A to E
        octet(DELAI);
        return;
    }
    finale(c, INTERM);
}

// Reads the rest of the key press whose first byte was c, and no more, so
// that a second key typed with it stays for whatever reads next.
// alt: an Escape in front of c may still make it an Alt+key.
static void touche(int c, bool alt)
{
    if (c != ESC) {
        for (int n = suite(c); n > 0; n--)
            if (octet(DELAI) < 0)
                return;
        return;
    }
    c = octet(DELAI);
    if (c < 0)
        return; // Escape alone
    if (c == '[')
        csi();
    else if (c == 'O')
        finale(octet(DELAI), PARAM); // SS3: F1 to F4, keypad; modified, as ESC O 2 P
    else if (alt)
        touche(c, false); // Alt+key: Escape, then the key
}

// The controlling terminal, its reads never blocking (see octet()), -1 when
// there is none. Opened where stdin, stdout or stderr was closed, it would
// take its place and the verdict would be written to it: it is moved above
// them, and the closed one stays closed.
static int ouvrir()
{
    int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    int haut = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return haut;
}

// Notes how each signal handled was left when the program started.
static void noter()
{
    sigprocmask(SIG_BLOCK, nullptr, &bloq);
    sigemptyset(&nos);
    for (int sig = 1; sig < NSIG; sig++)
        if (gere(sig) && sigaction(sig, nullptr, &anc[sig]) == 0)
            sigaddset(&nos, sig);
}

// Whether the terminal is another program's to use, and must be left alone.
static bool laisser()
{
    // Into a pipe, the verdict goes to another program of the pipeline,
    // which may itself use the terminal, as a pager does: it saves the
    // terminal's settings and puts them back on leaving, and two programs
    // doing so at once leave the terminal raw. Some shells make a pipeline's
    // pipes of sockets.
    struct stat st;
    if (fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
        return true;
    // Started by a launcher already gone, as the last "cmd &" of a script
    // that posh runs, SIGINT left as it was: nobody waits, and the shell
    // reads the terminal meanwhile.
    if (parti())
        return true;
    // A shell without job control starts a "cmd &" of a script with SIGINT
    // and SIGQUIT ignored, or as fish does blocked, in the foreground's
    // process group: such a command is not at the keyboard's command.
    return ecarte(SIGINT) && ecarte(SIGQUIT);
}

// Waits for one key in raw mode, the signals handled meanwhile; in the
// background, where raw mode and the key would be the foreground program's,
// does nothing.
static void veiller()
{
    // The signals wait while the terminal and the handlers change, so that no
    // stop or end falls between the two.
    sigset_t vieux;
    sigprocmask(SIG_BLOCK, &nos, &vieux);
    if (tcgetattr(tty, &orig) == 0 && mien()) { // orig: what the terminal goes back to
        armer();
        if (entrer_cru() == 0) {
            sigprocmask(SIG_SETMASK, &vieux, nullptr);
            int c = octet(-1);
            if (c >= 0)
                touche(c, true);
            sigprocmask(SIG_BLOCK, &nos, nullptr);
        }
        sortir_cru();
        desarmer();
    }
    sigprocmask(SIG_SETMASK, &vieux, nullptr);
}

void preparer()
{
    // A reader of stdout that has gone away must not turn the verdict's
    // write, whenever the C library makes it, into death by SIGPIPE: a failed
    // write goes unnoticed.
    struct sigaction ign = {};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ign, nullptr);
}

void attente()
{
    tty = ouvrir();
    if (tty < 0)
        return; // no terminal: nobody to wait for, and the verdict goes out now
    // Noted here, where there is a wait to end, rather than at the start: a
    // C library function called at every run costs every run the dynamic
    // linker's lookup of it, many times the call itself.
    parent = getppid();
    noter();
    if (!laisser()) {
        // The verdict is written out before the wait: into a file it would
        // otherwise stay in stdout's buffer until the key, and be lost if a
        // signal ended the wait. All streams, stdout the only one written:
        // so the program need not import stdout, a symbol the dynamic linker
        // would look up at every start.
        (void)fflush(nullptr);
        veiller();
    }
    close(tty);
}

#endif
