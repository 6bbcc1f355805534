#include "cli/app.hpp"

#include "cli/clipboard.hpp"
#include "cli/output.hpp"
#include "cli/shell.hpp"
#include "cli/terminal.hpp"

namespace velkaron::cli {
namespace {

constexpr const char* ENTRY_HELP = "Id (oder die kurze Id aus ls), oder Host und Benutzername";

void require_target(CLI::App& command, Arguments& args, std::size_t min, std::size_t max,
                    const char* help) {
    command.add_option("target", args.target, help)
        ->required(min > 0)
        ->expected(static_cast<int>(min), static_cast<int>(max));
}

void add_generate(CLI::App& command, Arguments& args) {
    command
        .add_option("--generate", args.generate, "Passwort erzeugen (LÄNGE 8 bis 128, sonst 20)")
        ->expected(0, 1)
        ->default_str("0");
    command.add_flag("--show", args.show, "das erzeugte Passwort auch anzeigen");
    command.add_option("--title", args.title, "Titel des Eintrags");
}

Done run_where(const Arguments& args) {
    auto vault = choose_vault(args.vault);
    if (!vault) return pass_on(std::move(vault.error()));
    if (args.json) {
        print_json(Json{{"path", vault->path}, {"reason", vault->reason}});
    } else {
        print(vault->path + "\n(gewählt durch: " + vault->reason + ")\n");
    }
    return {};
}

Outcome<Session> open_session(const Arguments& args) {
    auto vault = choose_vault(args.vault);
    if (!vault) return pass_on(std::move(vault.error()));
    auto binary = find_host_binary(args.host_binary);
    if (!binary) return pass_on(std::move(binary.error()));
    auto host = HostLink::start(*binary, vault->path);
    if (!host) return pass_on(std::move(host.error()));
    return Session{std::move(*vault), std::move(*host), SecretSource(args.password_stdin),
                   !args.password_stdin && stdin_is_terminal()};
}

Done run_chosen(const std::string& name, Arguments& args) {
    if (name == "where") return run_where(args);
    auto session = open_session(args);
    if (!session) return pass_on(std::move(session.error()));
    if (name == "shell") return run_shell(*session, args);
    return run_and_print(*find_command(name), *session, args, Ending::Host);
}

}  // namespace

void define_subcommands(CLI::App& app, Arguments& args, bool in_shell) {
    if (!in_shell) {
        app.add_subcommand("init", "neuen Tresor anlegen");
    }
    auto* add = app.add_subcommand("add", "Login speichern");
    require_target(*add, args, 1, 2, "HOST [BENUTZER]");
    add_generate(*add, args);
    auto* edit = app.add_subcommand("edit", "Passwort (und Titel) eines Logins ändern");
    require_target(*edit, args, 1, 2, ENTRY_HELP);
    add_generate(*edit, args);
    auto* ls = app.add_subcommand("ls", "Logins auflisten");
    ls->add_option("text", args.filter,
                   "nur Einträge, deren Host, Benutzer oder Titel TEXT enthält");
    auto* show = app.add_subcommand("show", "Login anzeigen");
    require_target(*show, args, 1, 2, ENTRY_HELP);
    show->add_flag("--password", args.with_password, "auch das Passwort anzeigen");
    auto* clip = app.add_subcommand("clip", "Passwort in die Zwischenablage kopieren");
    require_target(*clip, args, 1, 2, ENTRY_HELP);
    clip->add_option("--clear", args.clear_seconds, "nach SEKUNDEN leeren (Standard 30)")
        ->default_val(DEFAULT_CLEAR_SECONDS)
        ->check(CLI::Range(1u, 86400u));
    auto* rm = app.add_subcommand("rm", "Login löschen");
    require_target(*rm, args, 1, 2, ENTRY_HELP);
    rm->add_flag("--yes", args.yes, "ohne Rückfrage löschen");
    auto* gen = app.add_subcommand("gen", "Passwort erzeugen (braucht keinen Tresor)");
    gen->add_option("length", args.length, "Länge, 8 bis 128 (Standard 20)");
    app.add_subcommand("passwd", "Master-Passwort ändern");
    app.add_subcommand("recover",
                       "mit dem Wiederherstellungscode ein neues Master-Passwort setzen");
    auto* import = app.add_subcommand("import", "Logins aus einer CSV-Datei übernehmen");
    import->add_option("file", args.file, "CSV-Datei (höchstens 16 MiB)")->required();
    import->add_flag("--replace", args.replace, "Logins mit anderem Passwort ersetzen");
    auto* exported = app.add_subcommand("export", "alle Logins unverschlüsselt als CSV schreiben");
    exported->add_option("file", args.file, "Zieldatei (wird mit Modus 0600 angelegt)")->required();
    exported->add_flag("--force", args.force, "eine vorhandene Datei ersetzen");
    if (!in_shell) {
        app.add_subcommand("where", "zeigen, welcher Tresor benutzt wird und warum");
        auto* shell = app.add_subcommand("shell", "einmal entsperren, dann Befehle zeilenweise");
        shell
            ->add_option("--idle", args.idle_minutes,
                         "nach MINUTEN ohne Eingabe sperren (Standard 10)")
            ->default_val(10)
            ->check(CLI::PositiveNumber);
    }
    app.require_subcommand(1, 1);
}

const CLI::App* chosen_subcommand(const CLI::App& app) {
    const auto chosen = app.get_subcommands();
    return chosen.empty() ? nullptr : chosen.front();
}

int run_cli(int argc, char** argv) {
    if (argc == 3 && argv[1] == CLEARER_COMMAND) return run_clearer(argv[2]);

    Arguments args;
    CLI::App app("velkaron – Passwort-Tresor im Terminal", "velkaron");
    app.add_option("--vault", args.vault,
                   "Tresordatei (sonst VELKARON_VAULT, sonst die von velkaron-native)");
    app.add_option("--host-binary", args.host_binary, "velkaron-vault, das gestartet wird");
    app.add_flag("--password-stdin", args.password_stdin,
                 "Geheimnisse zeilenweise von der Standardeingabe lesen statt vom Terminal");
    app.add_flag("--json", args.json, "Ausgabe als JSON");
    define_subcommands(app, args, false);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? EXIT_DONE : EXIT_USAGE;
    }
    const auto done = run_chosen(chosen_subcommand(app)->get_name(), args);
    if (done) return EXIT_DONE;
    print_error("velkaron: " + done.error().message + "\n");
    return done.error().status;
}

}  // namespace velkaron::cli
