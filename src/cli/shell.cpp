#include "cli/shell.hpp"

#include <histedit.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <memory>
#include <set>

#include "cli/app.hpp"
#include "cli/output.hpp"

namespace velkaron::cli {
namespace {

constexpr std::string_view EXIT_COMMAND = "exit";

struct ShellState {
    Session* session;
    int idle_ms;
    bool idle = false;  // the last read ended for want of input, not at its end
};

ShellState* state_of(EditLine* el) {
    void* data = nullptr;
    el_get(el, EL_CLIENTDATA, &data);
    return static_cast<ShellState*>(data);
}

// Reads one character, giving up (as at end of input) when none comes in the idle time.
int read_char(EditLine* el, wchar_t* out) {
    ShellState* state = state_of(el);
    std::mbstate_t shift{};
    for (;;) {
        pollfd ready{STDIN_FILENO, POLLIN, 0};
        const int polled = ::poll(&ready, 1, state->idle_ms);
        if (polled == 0) {
            state->idle = true;
            return 0;
        }
        if (polled < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        char byte = 0;
        const ssize_t got = ::read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return static_cast<int>(got);
        const std::size_t decoded = std::mbrtowc(out, &byte, 1, &shift);
        if (decoded == static_cast<std::size_t>(-2)) continue;  // more bytes of one character
        if (decoded == static_cast<std::size_t>(-1)) {
            shift = {};
            *out = L'?';
        }
        return 1;
    }
}

std::vector<std::string> words_of(std::string_view line) {
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const auto start = line.find_first_not_of(' ', at);
        if (start == std::string_view::npos) break;
        const auto end = std::min(line.find(' ', start), line.size());
        words.emplace_back(line.substr(start, end - start));
        at = end;
    }
    if (!line.empty() && line.back() == ' ') words.emplace_back();
    return words;
}

std::vector<std::string> hosts(Session& session) {
    std::set<std::string> found;
    if (auto list = session.host.ask({{"op", "list"}})) {
        for (const Json& entry : *list) found.insert(entry.value("host", std::string()));
    }
    return {found.begin(), found.end()};
}

// Completes the word before the cursor: a subcommand first, a host after one that names
// an entry.
unsigned char complete(EditLine* el, int) {
    const LineInfo* info = el_line(el);
    const std::vector<std::string> words = words_of(
        std::string_view(info->buffer, static_cast<std::size_t>(info->cursor - info->buffer)));
    if (words.empty() || words.size() > 2) return CC_ERROR;
    std::vector<std::string> candidates;
    if (words.size() == 1) {
        candidates = command_names();
        candidates.emplace_back(EXIT_COMMAND);
    } else if (const Command* command = find_command(words[0]); command && command->takes_entry) {
        candidates = hosts(*state_of(el)->session);
    }
    const std::string& typed = words.back();
    std::vector<std::string> matches;
    std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(matches),
                 [&](const std::string& c) { return c.starts_with(typed); });
    if (matches.empty()) return CC_ERROR;
    std::string common = matches.front();
    for (const auto& match : matches) {
        common.resize(
            std::mismatch(common.begin(), common.end(), match.begin(), match.end()).first -
            common.begin());
    }
    std::string insert = common.substr(typed.size());
    if (matches.size() == 1) insert += ' ';
    if (!insert.empty()) {
        el_insertstr(el, insert.c_str());
        return CC_REFRESH;
    }
    std::string listing = "\n";
    for (const auto& match : matches) listing += match + "  ";
    listing += "\n";
    print(listing);
    return CC_REDISPLAY;
}

const char* prompt(EditLine*) {
    return "velkaron> ";
}

struct EditorDeleter {
    void operator()(EditLine* el) const { el_end(el); }
    void operator()(History* history) const { history_end(history); }
    void operator()(Tokenizer* tokenizer) const { tok_end(tokenizer); }
};

// One line as a subcommand: parsed by the same definitions as the command line.
Done run_line(Session& session, const Arguments& global, const char* const* argv, int argc,
              bool& parsed) {
    Arguments args;
    args.json = global.json;
    CLI::App app("", "velkaron");
    define_subcommands(app, args, true);
    std::vector<std::string> reversed(argv, argv + argc);
    std::reverse(reversed.begin(), reversed.end());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        if (app.exit(error) != 0) return usage_error("Eingabe nicht verstanden; Hilfe mit --help");
        return {};
    }
    parsed = true;
    return run_and_print(*find_command(chosen_subcommand(app)->get_name()), session, args,
                         Ending::Session);
}

Done lock(Session& session) {
    session.unlocked = false;
    auto locked = session.host.ask({{"op", "lock"}});
    if (!locked) return pass_on(std::move(locked.error()));
    return {};
}

}  // namespace

Done run_shell(Session& session, const Arguments& args) {
    if (args.password_stdin) return usage_error("shell liest Geheimnisse nur vom Terminal");
    if (auto unlocked = session.unlock(); !unlocked) return unlocked;
    ShellState state{&session, static_cast<int>(std::lround(args.idle_minutes * 60'000))};
    std::unique_ptr<EditLine, EditorDeleter> el(el_init("velkaron", stdin, stdout, stderr));
    std::unique_ptr<History, EditorDeleter> history(history_init());
    std::unique_ptr<Tokenizer, EditorDeleter> tokenizer(tok_init(nullptr));
    HistEvent event;
    ::history(history.get(), &event, H_SETSIZE, 200);
    el_set(el.get(), EL_CLIENTDATA, &state);
    el_set(el.get(), EL_EDITOR, "emacs");
    el_set(el.get(), EL_PROMPT, prompt);
    el_set(el.get(), EL_HIST, ::history, history.get());
    el_set(el.get(), EL_GETCFN, read_char);
    el_set(el.get(), EL_ADDFN, "velkaron-complete", "Befehl oder Host ergänzen", complete);
    el_set(el.get(), EL_BIND, "^I", "velkaron-complete", nullptr);

    for (;;) {
        int count = 0;
        state.idle = false;
        const char* line = el_gets(el.get(), &count);
        if (line == nullptr || count <= 0) {
            if (!state.idle) break;
            el_reset(el.get());
            if (auto locked = lock(session); !locked) return locked;
            print("\nGesperrt nach " + std::to_string(state.idle_ms / 1000) +
                  " s ohne Eingabe; der nächste Befehl fragt nach dem Master-Passwort.\n");
            continue;
        }
        int argc = 0;
        const char** argv = nullptr;
        tok_reset(tokenizer.get());
        if (tok_str(tokenizer.get(), line, &argc, &argv) != 0) {
            print_error("velkaron: Anführungszeichen nicht geschlossen\n");
            continue;
        }
        if (argc == 0) continue;
        if (argv[0] == EXIT_COMMAND) break;
        bool parsed = false;
        const auto done = run_line(session, args, argv, argc, parsed);
        if (parsed) ::history(history.get(), &event, H_ENTER, line);
        if (!done) {
            if (done.error().status == EXIT_HOST_GONE) return done;
            print_error("velkaron: " + done.error().message + "\n");
        }
    }
    return lock(session);
}

}  // namespace velkaron::cli
