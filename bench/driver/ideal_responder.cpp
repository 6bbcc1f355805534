// The baseline for the load driver: per request line it stats the vault path and writes one
// fixed status line, and does nothing else. The host cannot answer `status` faster than this.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view RESPONSE =
    "{\"id\":0,\"ok\":true,\"data\":{\"entries\":0,\"exists\":true,\"unlocked\":false}}\n";

bool write_all(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const char* path = argv[1];
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return 0;
        // Only line ends matter: each one completes a request.
        const char* at = buffer.data();
        const char* const end = at + n;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr) {
            ++at;
            struct stat info {};
            [[maybe_unused]] const int found = ::stat(path, &info);
            if (!write_all(RESPONSE)) return 0;
        }
    }
}
