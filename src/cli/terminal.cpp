#include "cli/terminal.hpp"

#include <fcntl.h>
#include <termios.h>

#include <array>
#include <csignal>

#include "base/os_error.hpp"
#include "base/posix.hpp"

namespace velkaron::cli {
namespace {

constexpr std::array<int, 5> RESTORING_SIGNALS{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

// What a signal handler needs: plain data, set before the handlers go in.
volatile sig_atomic_t tty_fd = -1;
termios saved_mode;
termios silent_mode;

void install(int signal_number, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    (void)sigaction(signal_number, &action, previous);
}

// Turns the echo back on and lets the signal take its default effect. The signal is blocked
// while its handler runs, so it is unblocked to take effect at once; only SIGTSTP comes back
// here, after `fg`, and the prompt goes on without echo.
void on_signal(int signal_number) {
    const int saved_errno = errno;
    if (tty_fd >= 0) (void)tcsetattr(tty_fd, TCSAFLUSH, &saved_mode);
    install(signal_number, SIG_DFL, nullptr);
    sigset_t just_this;
    sigemptyset(&just_this);
    sigaddset(&just_this, signal_number);
    (void)sigprocmask(SIG_UNBLOCK, &just_this, nullptr);
    (void)raise(signal_number);
    install(signal_number, on_signal, nullptr);
    if (tty_fd >= 0) (void)tcsetattr(tty_fd, TCSAFLUSH, &silent_mode);
    errno = saved_errno;
}

// Echo off for its lifetime, with the handlers that turn it back on.
class SilentTerminal {
  public:
    explicit SilentTerminal(int fd) : ok_(tcgetattr(fd, &saved_mode) == 0) {
        if (!ok_) return;
        silent_mode = saved_mode;
        silent_mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL);
        silent_mode.c_lflag |= ICANON;
        tty_fd = fd;
        for (std::size_t i = 0; i < RESTORING_SIGNALS.size(); ++i) {
            install(RESTORING_SIGNALS[i], on_signal, &previous_[i]);
        }
        ok_ = tcsetattr(fd, TCSAFLUSH, &silent_mode) == 0;
    }
    ~SilentTerminal() {
        if (tty_fd < 0) return;
        (void)tcsetattr(tty_fd, TCSAFLUSH, &saved_mode);
        tty_fd = -1;
        for (std::size_t i = 0; i < RESTORING_SIGNALS.size(); ++i) {
            (void)sigaction(RESTORING_SIGNALS[i], &previous_[i], nullptr);
        }
    }
    SilentTerminal(const SilentTerminal&) = delete;
    SilentTerminal& operator=(const SilentTerminal&) = delete;

    [[nodiscard]] bool ok() const noexcept { return ok_; }

  private:
    bool ok_;
    std::array<struct sigaction, RESTORING_SIGNALS.size()> previous_{};
};

Outcome<UniqueFd> open_terminal() {
    UniqueFd fd(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!fd) return refused("kein Terminal für die Eingabe: " + os_error(errno));
    return fd;
}

// Reads up to the line feed, byte by byte, so that nothing after the line is taken.
template <class Text>
Outcome<void> read_line(int fd, Text& line) {
    for (;;) {
        char c = 0;
        const ssize_t got = read_some(fd, &c, 1);
        if (got < 0) return refused("Terminal nicht lesbar: " + os_error(errno));
        if (got == 0) {
            if (line.empty()) return refused("Eingabe abgebrochen");
            return {};
        }
        if (c == '\n') return {};
        line.push_back(c);
    }
}

}  // namespace

bool stdin_is_terminal() noexcept {
    return ::isatty(STDIN_FILENO) == 1;
}

Outcome<SecretString> read_hidden(std::string_view prompt) {
    auto tty = open_terminal();
    if (!tty) return pass_on(std::move(tty.error()));
    SecretString line;
    line.reserve(256);  // one block for a typical line: the wiping allocator keeps no copies anyway
    {
        SilentTerminal silent(tty->get());
        if (!silent.ok()) return refused("Terminal nicht einstellbar: " + os_error(errno));
        (void)write_all(tty->get(), prompt);
        auto read = read_line(tty->get(), line);
        (void)write_all(tty->get(), "\n");
        if (!read) return pass_on(std::move(read.error()));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

Outcome<std::string> ask(std::string_view prompt) {
    auto tty = open_terminal();
    if (!tty) return pass_on(std::move(tty.error()));
    (void)write_all(tty->get(), prompt);
    std::string line;
    if (auto read = read_line(tty->get(), line); !read) return pass_on(std::move(read.error()));
    return line;
}

}  // namespace velkaron::cli
