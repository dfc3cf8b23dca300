/*
 * Stand-ins for C library calls as other systems answer them, each chosen by
 * a word of ZOP_STANDIN; without its word a call is the library's own.
 * Linked into the tty driver's tests, and preloaded (LD_PRELOAD) into zop by
 * the end-to-end tests.
 *   poll-refuses-terminals  poll() answers POLLNVAL at once for a terminal,
 *                           as macOS's poll, which does not support devices
 *   codeset-utf-8           nl_langinfo(CODESET) is "utf-8", as macOS says
 *                           it for a locale named en_US.utf-8
 *   tcsetattr-eintr-once    the first tcsetattr() that turns echo back on
 *                           fails with EINTR, as one cut short by a signal
 */
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

static bool Chosen(const char *word)
{
    const char *words = std::getenv("ZOP_STANDIN");
    return words != nullptr && std::strstr(words, word) != nullptr;
}

/* The library's own function of that name. */
template <typename Function>
static Function Real(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

extern "C" int poll(struct pollfd *fds, nfds_t count, int timeoutMs)
{
    if (Chosen("poll-refuses-terminals")) {
        int refused = 0;
        for (nfds_t i = 0; i < count; i++) {
            fds[i].revents = isatty(fds[i].fd) ? POLLNVAL : 0;
            refused += fds[i].revents != 0;
        }
        if (refused > 0)
            return refused;
    }
    static auto real = Real<int (*)(struct pollfd *, nfds_t, int)>("poll");
    return real(fds, count, timeoutMs);
}

extern "C" char *nl_langinfo(nl_item item) __THROW
{
    static char utf8[] = "utf-8";
    if (item == CODESET && Chosen("codeset-utf-8"))
        return utf8;
    static auto real = Real<char *(*)(nl_item)>("nl_langinfo");
    return real(item);
}

extern "C" int tcsetattr(int fd, int when, const struct termios *settings) __THROW
{
    static bool failed = false;
    if (!failed && (settings->c_lflag & ECHO) && Chosen("tcsetattr-eintr-once")) {
        failed = true;
        errno = EINTR;
        return -1;
    }
    static auto real = Real<int (*)(int, int, const struct termios *)>("tcsetattr");
    return real(fd, when, settings);
}
