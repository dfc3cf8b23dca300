/*
 * The tty driver's signal handlers: those that end the program give the
 * terminal back first, Ctrl-Z gives it back before the stop and asks for it
 * again after, a resize and a resume are noted for the next look and wake a
 * key wait through a pipe.  A handler only sets a flag, or writes a string
 * prebuilt for it.
 */
#include "ttystate.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

/* Signals the driver handles: those that end the program (crashes among them), the
   stop and continue of job control, and resizes; with the actions found before. */
const int HandledSignals[] = {SIGINT, SIGTERM, SIGHUP,  SIGQUIT, SIGSEGV, SIGABRT, SIGBUS,
                              SIGFPE, SIGILL,  SIGPIPE, SIGTSTP, SIGCONT, SIGWINCH};
const int HandledCount = sizeof HandledSignals / sizeof HandledSignals[0];
static struct sigaction ActionsFound[HandledCount];
static bool Handled[HandledCount];
/* A stack of its own for the handlers, so that a stack overflow still restores the terminal. */
static char HandlerStack[64 * 1024];

/* Opens the wake-up pipe, both ends non-blocking: a handler never waits on it. */
bool TtySignalOpenWakePipe(void)
{
    if (TtyFlags.wakePipe[0] >= 0)
        return true;
    int ends[2];
    if (pipe(ends) != 0)
        return false;
    for (int end : ends) {
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    TtyFlags.wakePipe[0] = ends[0];
    TtyFlags.wakePipe[1] = ends[1];
    return true;
}

/* From a handler: wakes the key wait.  A full pipe already holds a wake-up. */
static void TtySignalWakeUp(void)
{
    int savedErrno = errno;
    if (write(TtyFlags.wakePipe[1], "!", 1) < 0) {
    }
    errno = savedErrno;
}

/* Empties the pipe: the wake-ups it held are answered by the look that follows. */
void TtySignalDrainWakePipe(void)
{
    char bytes[64];
    while (read(TtyFlags.wakePipe[0], bytes, sizeof bytes) > 0) {
    }
}

/* Async-signal-safe restore: writes the prebuilt restore string and puts the saved
   terminal settings back, without touching any other state. */
static void TtySignalRestore(void)
{
    if (!Tty.open)
        return;
    size_t length = static_cast<size_t>(Tty.emergencyLength);
    if (length > 0 && write(Tty.outFd, Tty.emergencyBytes, length) < 0)
        length = 0;
    TtyAnswerAwait();
    TtyIoSetSettings(TCSANOW, &Tty.saved);
}

/* Restores the terminal, then lets the signal end the program as it would have. */
static void TtySignalOnEnding(int signal)
{
    TtySignalRestore();
    std::signal(signal, SIG_DFL);
    raise(signal); /* delivered when the handler returns: the signal is blocked until then */
}

/* Ctrl-Z: gives the shell its terminal back, stops, and on `fg` asks for the game's terminal again. */
static void TtySignalOnStop(int)
{
    int savedErrno = errno;
    TtySignalRestore();
    TtyFlags.gaveBack = 1;
    struct sigaction stop = {}, ours = {};
    stop.sa_handler = SIG_DFL;
    sigaction(SIGTSTP, &stop, &ours);
    sigset_t tstp;
    sigemptyset(&tstp);
    sigaddset(&tstp, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &tstp, nullptr);
    raise(SIGTSTP); /* the process stops here until it is continued */
    sigaction(SIGTSTP, &ours, nullptr);
    TtyFlags.resumed = 1;
    TtySignalWakeUp();
    errno = savedErrno;
}

static void TtySignalOnContinue(int)
{
    TtyFlags.resumed = 1;
    TtySignalWakeUp();
}

static void TtySignalOnResize(int)
{
    TtyFlags.resized = 1;
    TtySignalWakeUp();
}

static void (*TtySignalHandlerFor(int signal))(int)
{
    if (signal == SIGTSTP)
        return TtySignalOnStop;
    if (signal == SIGCONT)
        return TtySignalOnContinue;
    if (signal == SIGWINCH)
        return TtySignalOnResize;
    return TtySignalOnEnding;
}

/* Installs the handlers, leaving alone signals that were ignored (as under nohup). No
   SA_RESTART: a signal wakes a key wait, so that a resize or a resume is seen at once. */
void TtySignalInstall(void)
{
    if (Tty.handlersSet)
        return;
    stack_t stack = {};
    stack.ss_sp = HandlerStack;
    stack.ss_size = sizeof HandlerStack;
    sigaltstack(&stack, nullptr);
    for (int i = 0; i < HandledCount; i++) {
        struct sigaction found = {};
        sigaction(HandledSignals[i], nullptr, &found);
        if (found.sa_handler == SIG_IGN)
            continue;
        struct sigaction ours = {};
        ours.sa_handler = TtySignalHandlerFor(HandledSignals[i]);
        ours.sa_flags = SA_ONSTACK;
        sigemptyset(&ours.sa_mask);
        Handled[i] = sigaction(HandledSignals[i], &ours, &ActionsFound[i]) == 0;
    }
    Tty.handlersSet = true;
}

void TtySignalRemove(void)
{
    if (!Tty.handlersSet)
        return;
    for (int i = 0; i < HandledCount; i++)
        if (Handled[i])
            sigaction(HandledSignals[i], &ActionsFound[i], nullptr);
    Tty.handlersSet = false;
}
