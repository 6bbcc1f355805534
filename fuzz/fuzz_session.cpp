// A whole session: the input is what a client writes to standard input, served by the real
// request loop against a host with small Argon2 costs on a vault in a temporary folder. Every
// non-blank line up to the first one that is not UTF-8 gets exactly one well-formed response
// line carrying its request's id, nothing else is written, and a vault file the session left
// behind always reads.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/utf8.hpp"
#include "host/line_session.hpp"
#include "protocol/framing.hpp"
#include "protocol/request.hpp"
#include "state/host_state.hpp"
#include "vault/vault_json.hpp"

namespace {

namespace fs = std::filesystem;

void check(bool condition) {
    if (!condition) std::abort();
}

// A fresh folder for one session, removed with it. Saves flush to stable storage; on a
// memory file system that costs nothing.
class Folder {
  public:
    Folder() {
        const fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "velkaron-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr);
        path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    [[nodiscard]] const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

int memory_file(std::string_view content) {
    const int fd = ::memfd_create("session", MFD_CLOEXEC);
    check(fd >= 0);
    check(::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()));
    check(::lseek(fd, 0, SEEK_SET) == 0);
    return fd;
}

std::string read_back(int fd) {
    std::string text(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    check(::pread(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
    return text;
}

// The id each answered line must be echoed with (0 for an unreadable request), in order.
std::vector<std::uint64_t> expected_ids(std::string_view input) {
    std::vector<std::uint64_t> ids;
    while (!input.empty()) {
        const std::size_t newline = input.find('\n');
        const std::size_t length = newline == std::string_view::npos ? input.size() : newline + 1;
        const std::string_view line = input.substr(0, length);
        input.remove_prefix(length);
        velkaron::Utf8Scanner scanner;
        if (!scanner.feed(line) || !scanner.complete()) break;
        if (scanner.blank()) continue;
        const auto request = velkaron::parse_request(velkaron::strip_line_ending(line));
        ids.push_back(request ? request->id : 0);
    }
    return ids;
}

// One compact response object: id, ok, then data or error, and nothing else.
void check_response(std::string_view line, std::uint64_t id) {
    const auto response = nlohmann::ordered_json::parse(line, nullptr, false);
    check(response.is_object() && response.size() == 3);
    auto member = response.begin();
    check(member.key() == "id" && member->is_number_unsigned() && *member == id);
    ++member;
    check(member.key() == "ok" && member->is_boolean());
    const bool ok = member->get<bool>();
    ++member;
    check(member.key() == (ok ? "data" : "error"));
    if (!ok) check(member->is_string());
    check(response.dump(-1, ' ', false) == line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const Folder folder;
    const fs::path vault = folder.path() / "v.json";

    velkaron::HostState state(vault.string());
    state.kdf_params = {8, 1, 1};
    const int in = memory_file(input);
    const int out = memory_file({});
    velkaron::serve_lines(state, in, out);
    state.lock();
    const std::string output = read_back(out);
    ::close(in);
    ::close(out);

    const std::vector<std::uint64_t> ids = expected_ids(input);
    std::string_view rest = output;
    for (const std::uint64_t id : ids) {
        const std::size_t newline = rest.find('\n');
        check(newline != std::string_view::npos);
        check_response(rest.substr(0, newline), id);
        rest.remove_prefix(newline + 1);
    }
    check(rest.empty());

    // Whatever the requests did, a save never leaves a vault that does not read.
    if (fs::exists(vault)) {
        std::ifstream file(vault, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(file), {}};
        const auto saved = velkaron::parse_vault(text);
        check(saved && saved->version == velkaron::VAULT_VERSION);
    }
    return 0;
}
