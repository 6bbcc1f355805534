#include "cli/clipboard.hpp"

#include <fcntl.h>
#include <sodium.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "base/os_error.hpp"
#include "base/posix.hpp"
#include "cli/child.hpp"
#include "cli/program_path.hpp"

namespace velkaron::cli {
namespace {

struct Tool {
    const char* display_variable;
    std::array<const char*, 3> copy;  // program and arguments, unused ones null
    std::array<const char*, 4> paste;
};

constexpr std::array<Tool, 3> TOOLS{{
    {"WAYLAND_DISPLAY", {"wl-copy", nullptr, nullptr}, {"wl-paste", "--no-newline", nullptr}},
    {"DISPLAY", {"xclip", "-selection", "clipboard"}, {"xclip", "-selection", "clipboard", "-o"}},
    {"DISPLAY", {"xsel", "--clipboard", "--input"}, {"xsel", "--clipboard", "--output", nullptr}},
}};

constexpr std::size_t DIGEST_LEN = crypto_generichash_BYTES;
constexpr std::size_t DIGEST_KEY_LEN = crypto_generichash_KEYBYTES;

struct FoundTool {
    std::vector<std::string> copy;
    std::vector<std::string> paste;
};

template <std::size_t N>
std::vector<std::string> command(const std::string& program,
                                 const std::array<const char*, N>& words) {
    std::vector<std::string> argv{program};
    for (std::size_t i = 1; i < N && words[i] != nullptr; ++i) argv.emplace_back(words[i]);
    return argv;
}

std::optional<FoundTool> find_tool() {
    for (const Tool& tool : TOOLS) {
        const char* display = std::getenv(tool.display_variable);
        if (display == nullptr || *display == '\0') continue;
        const auto copy = find_in_path(tool.copy[0]);
        const auto paste = find_in_path(tool.paste[0]);
        if (copy && paste) return FoundTool{command(*copy, tool.copy), command(*paste, tool.paste)};
    }
    return std::nullopt;
}

Done put_text(const FoundTool& tool, std::string_view text) {
    Child child;
    if (!spawn_child(tool.copy, Stream::pipe, Stream::null, Stream::null, child)) {
        return refused("Zwischenablage nicht erreichbar: " + tool.copy[0] + ": " + os_error(errno));
    }
    const int written = write_all(child.input.get(), text);
    child.input.reset();
    if (wait_child(child.pid) != 0 || written != 0) {
        return refused("Zwischenablage nicht erreichbar: " + tool.copy[0] + " ist gescheitert");
    }
    return {};
}

std::optional<SecretString> take_text(const FoundTool& tool) {
    Child child;
    if (!spawn_child(tool.paste, Stream::null, Stream::pipe, Stream::null, child))
        return std::nullopt;
    SecretString text;
    char chunk[4096];
    ssize_t got;
    while ((got = read_some(child.output.get(), chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<std::size_t>(got));
    }
    sodium_memzero(chunk, sizeof chunk);
    child.output.reset();
    if (wait_child(child.pid) != 0) return std::nullopt;
    return text;
}

std::array<unsigned char, DIGEST_LEN> keyed_digest(std::string_view text,
                                                   const unsigned char* key) {
    std::array<unsigned char, DIGEST_LEN> digest{};
    crypto_generichash(digest.data(), digest.size(),
                       reinterpret_cast<const unsigned char*>(text.data()), text.size(), key,
                       DIGEST_KEY_LEN);
    return digest;
}

// Starts the clearing process detached from this one (its own session, its parent gone at
// once), so that it outlives the command and a shell that ends. Only key and digest reach it,
// through a pipe; it is this program anew, so none of this process's memory goes with it.
Done start_clearer(unsigned seconds, const unsigned char* key_and_digest, std::size_t size) {
    int ends[2];
    if (::pipe(ends) != 0)
        return refused("Löschen der Zwischenablage nicht planbar: " + os_error(errno));
    UniqueFd read_end(ends[0]);
    UniqueFd write_end(ends[1]);
    const std::string self = own_executable();
    const std::string seconds_text = std::to_string(seconds);
    const pid_t middle = ::fork();
    if (middle < 0) return refused("Löschen der Zwischenablage nicht planbar: " + os_error(errno));
    if (middle == 0) {
        ::setsid();
        if (::fork() == 0) {
            ::dup2(read_end.get(), STDIN_FILENO);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execl(self.c_str(), "velkaron", CLEARER_COMMAND.data(), seconds_text.c_str(),
                    static_cast<char*>(nullptr));
        }
        ::_exit(0);
    }
    (void)wait_child(middle);
    read_end.reset();
    if (write_all(write_end.get(),
                  std::string_view(reinterpret_cast<const char*>(key_and_digest), size)) != 0) {
        return refused("Löschen der Zwischenablage nicht planbar: " + os_error(errno));
    }
    return {};
}

}  // namespace

bool clipboard_available() {
    return find_tool().has_value();
}

Done copy_for_a_while(std::string_view text, unsigned clear_after_seconds) {
    const auto tool = find_tool();
    if (!tool) {
        return refused(
            "keine Zwischenablage: wl-copy, xclip oder xsel und eine grafische Sitzung nötig");
    }
    if (auto put = put_text(*tool, text); !put) return put;
    std::array<unsigned char, DIGEST_KEY_LEN + DIGEST_LEN> key_and_digest{};
    randombytes_buf(key_and_digest.data(), DIGEST_KEY_LEN);
    const auto digest = keyed_digest(text, key_and_digest.data());
    std::copy(digest.begin(), digest.end(), key_and_digest.begin() + DIGEST_KEY_LEN);
    auto started = start_clearer(clear_after_seconds, key_and_digest.data(), key_and_digest.size());
    sodium_memzero(key_and_digest.data(), key_and_digest.size());
    return started;
}

int run_clearer(std::string_view seconds_text) {
    unsigned seconds = 0;
    const auto parsed =
        std::from_chars(seconds_text.data(), seconds_text.data() + seconds_text.size(), seconds);
    if (parsed.ec != std::errc() || parsed.ptr != seconds_text.data() + seconds_text.size())
        return 2;
    std::array<unsigned char, DIGEST_KEY_LEN + DIGEST_LEN> key_and_digest{};
    std::size_t have = 0;
    while (have < key_and_digest.size()) {
        const ssize_t got =
            read_some(STDIN_FILENO, reinterpret_cast<char*>(key_and_digest.data() + have),
                      key_and_digest.size() - have);
        if (got <= 0) return 1;
        have += static_cast<std::size_t>(got);
    }
    timespec left{static_cast<time_t>(seconds), 0};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
    int status = 1;
    if (const auto tool = find_tool()) {
        if (const auto now = take_text(*tool)) {
            const auto digest = keyed_digest(*now, key_and_digest.data());
            if (sodium_memcmp(digest.data(), key_and_digest.data() + DIGEST_KEY_LEN, DIGEST_LEN) ==
                0) {
                status = put_text(*tool, "") ? 0 : 1;
            } else {
                status = 0;  // the user copied something else: that stays
            }
        }
    }
    sodium_memzero(key_and_digest.data(), key_and_digest.size());
    return status;
}

}  // namespace velkaron::cli
