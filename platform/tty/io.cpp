/* The tty driver's waits on the terminal, and its reads and writes of it. */
#include "ttystate.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/select.h>
#include <unistd.h>

/* Waits with poll() on fd (for reading, or for writing) and on wakeFd (-1: none). */
static int TtyIoPoll(int fd, bool writing, int wakeFd, int timeoutMs)
{
    struct pollfd p[2] = {{fd, static_cast<short>(writing ? POLLOUT : POLLIN), 0},
                          {wakeFd, POLLIN, 0}};
    int ready = poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0)
        return errno == EINTR ? 0 : WaitClosed;
    int seen = wakeFd >= 0 && p[1].revents != 0 ? WaitWoken : 0;
    /* Invalid for a descriptor that is open: this poll does not take terminals. */
    if (p[0].revents & POLLNVAL)
        return fcntl(fd, F_GETFD) == -1 ? seen | WaitClosed : WaitRefused;
    return seen | (p[0].revents != 0 ? WaitReady : 0);
}

/* The same wait with select(), which takes terminals everywhere, for descriptors below
   FD_SETSIZE: a set cannot hold one beyond, and such a terminal counts as closed. */
static int TtyIoSelect(int fd, bool writing, int wakeFd, int timeoutMs)
{
    if (fd < 0 || fd >= FD_SETSIZE || wakeFd >= FD_SETSIZE)
        return WaitClosed;
    fd_set reading, written;
    FD_ZERO(&reading);
    FD_ZERO(&written);
    FD_SET(fd, writing ? &written : &reading);
    if (wakeFd >= 0)
        FD_SET(wakeFd, &reading);
    struct timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(std::max(fd, wakeFd) + 1, &reading, &written, nullptr,
                       timeoutMs < 0 ? nullptr : &limit);
    if (ready < 0)
        return errno == EINTR ? 0 : WaitClosed;
    int seen = wakeFd >= 0 && FD_ISSET(wakeFd, &reading) ? WaitWoken : 0;
    return seen | (FD_ISSET(fd, writing ? &written : &reading) ? WaitReady : 0);
}

/*
 * Waits up to timeoutMs (negative: no limit) for fd and the wake-up pipe; a
 * TtyWaitSeen.  poll() first, as it has no limit on descriptors; where it
 * refuses the terminal (macOS's poll does not support devices and answers
 * POLLNVAL at once), select() from then on.  Async-signal-safe.
 */
int TtyIoWait(int fd, bool writing, int wakeFd, int timeoutMs)
{
    if (!Tty.pollRefuses) {
        int seen = TtyIoPoll(fd, writing, wakeFd, timeoutMs);
        if (seen != WaitRefused)
            return seen;
        Tty.pollRefuses = true;
    }
    return TtyIoSelect(fd, writing, wakeFd, timeoutMs);
}

/* Sets the terminal's settings, again where a signal cut the call short. */
bool TtyIoSetSettings(int when, const struct termios *settings)
{
    int result;
    while ((result = tcsetattr(Tty.inFd, when, settings)) != 0 && errno == EINTR) {
    }
    return result == 0;
}

/* Writes all bytes, through partial writes, EINTR and EAGAIN. */
bool TtyIoWriteAll(const char *bytes, size_t length)
{
    while (length > 0) {
        ssize_t n = write(Tty.outFd, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            TtyIoWait(Tty.outFd, true, -1, 100);
        } else if (n < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

bool TtyIoWriteText(const std::string &text)
{
    return TtyIoWriteAll(text.data(), text.size());
}

/* Waits up to timeoutMs for input and reads what is there: 0 when none came or a
   signal's wake-up ended the wait; -1 at end of input. */
int TtyIoReadSome(unsigned char *buffer, int size, int timeoutMs)
{
    int seen = TtyIoWait(Tty.inFd, false, TtyFlags.wakePipe[0], timeoutMs);
    if (seen & WaitWoken)
        TtySignalDrainWakePipe();
    if (seen & WaitClosed)
        return -1;
    if (!(seen & WaitReady))
        return 0;
    ssize_t n = read(Tty.inFd, buffer, static_cast<size_t>(size));
    if (n < 0)
        return (errno == EINTR || errno == EAGAIN) ? 0 : -1;
    return n == 0 ? -1 : static_cast<int>(n);
}

/* Takes carriage returns and line feeds out of bytes read: in lines they are no keys, since
   a line-oriented link (a pipe, an editor's shell) ends every answer with one.  The count left. */
int TtyIoDropLineEnds(unsigned char *buffer, int count)
{
    int kept = 0;
    for (int i = 0; i < count; i++)
        if (buffer[i] != '\r' && buffer[i] != '\n')
            buffer[kept++] = buffer[i];
    return kept;
}
