// End-to-end load driver: starts the real host on prepared vaults, talks to it through pipes
// as a client does and writes the figures of every run as JSON. The ideal responder, driven
// the same way in the same run, is the yardstick for `status`; the floor, the entries opened
// directly in this process, is the one for the entry operations; the line host is the one of
// the native host, started as a browser starts it and spoken to in native messages. A
// baseline host, another build of the same protocol, takes turns with the host in every run.
//
// velkaron, the command-line client, is timed from start to finish against the host driven
// directly with the same requests.
//
//   velkaron_load --host PATH --native PATH --ideal PATH [--cli PATH] [--baseline PATH]
//                 [--runs N] [--only transfer|cli] --out FILE
//
// --only measures one stage alone (import and export, or the client), for a quick look at it.

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "crypto/base64.hpp"
#include "crypto/bytes.hpp"
#include "crypto/derive_key.hpp"
#include "crypto/random.hpp"
#include "crypto/sodium.hpp"
#include "figures.hpp"
#include "floor.hpp"
#include "import_floor.hpp"
#include "measure.hpp"
#include "prepared_vault.hpp"
#include "stats.hpp"
#include "support/child_process.hpp"
#include "support/temp_dir.hpp"
#include "vault/storage.hpp"

namespace velkaron::bench {
namespace {

namespace fs = std::filesystem;
using testing_support::ChildProcess;
using testing_support::Environment;
using testing_support::TempDir;

constexpr std::size_t PIPELINED = 100'000;
constexpr std::size_t ROUND_TRIP_WARMUP = 1'000;
constexpr std::size_t ROUND_TRIPS = 20'000;
// Children measured against each other take turns in this many blocks, so that all of them
// meet the same load.
constexpr std::size_t BLOCKS = 10;
constexpr std::size_t REPEATS = 5;  // of each entry operation in one run
// Pairs of put with and without id in one run: their difference carries the spread of two saves
// and their fsyncs, so its median needs more samples than a single operation's.
constexpr std::size_t PUT_PAIRS = 11;
// Pairs of derive_key and unlock in one run: a single derivation of 64 MiB varies by a fifth
// from one to the next.
constexpr std::size_t UNLOCK_PAIRS = 5;
// Pairs of export with a wrong password (its derive_key, nothing else) and export, on each of
// REPEATS hosts: the export's own work is a tenth of the derivation, which varies by a fifth.
// The derivation is the host's own, run as export runs it: one in this process came out a
// quarter slower than the host's and left export's share below zero.
constexpr std::size_t EXPORT_PAIRS = 3;
// The first is also the vault of the `status`, `unlock` and key figures.
constexpr std::array<std::size_t, 3> ENTRY_COUNTS{100, 1'000, 10'000};
constexpr std::string_view NEW_PASSWORD = "load-driver new password";
// Measured on the baseline too and compared with it; 10,000 is the largest vault.
constexpr std::array<std::string_view, 6> COMPARED{
    "status_rate", "unlock_10000", "list_10000", "for_host_10000", "put_by_id_10000", "put_10000"};
constexpr double MIB = 1024.0 * 1024.0;
constexpr std::size_t IMPORT_ROWS = 10'000;

struct Options {
    std::string host;
    std::string native;
    std::string ideal;
    std::string baseline;
    std::string cli;
    std::string out;
    std::string only;
    int runs = 5;
};

Options parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--host")
            options.host = value;
        else if (name == "--native")
            options.native = value;
        else if (name == "--ideal")
            options.ideal = value;
        else if (name == "--baseline")
            options.baseline = value;
        else if (name == "--cli")
            options.cli = value;
        else if (name == "--out")
            options.out = value;
        else if (name == "--runs")
            options.runs = std::stoi(value);
        else if (name == "--only" && (value == "transfer" || value == "cli"))
            options.only = value;
        else
            throw std::invalid_argument("unknown option " + std::string(name));
    }
    if (argc % 2 == 0 || options.host.empty() || options.native.empty() || options.ideal.empty() ||
        options.out.empty() || options.runs < 1) {
        throw std::invalid_argument(
            "usage: velkaron_load --host PATH --native PATH --ideal PATH [--cli PATH] "
            "[--baseline PATH] [--runs N] [--only transfer|cli] --out FILE");
    }
    return options;
}

// A host binary and the figures measured on it.
struct Build {
    const std::string& host;
    Figures& figures;
};

// The ratio of two figures of this run, as a figure of its own.
void add_ratio(Figures& figures, std::string_view key, std::string_view label,
               std::string_view numerator, std::string_view denominator) {
    figures.add(key, label, "×",
                figures.at(numerator).values.back() / figures.at(denominator).values.back());
}

std::string request(std::string_view op, nlohmann::json members = nlohmann::json::object()) {
    members["id"] = 1;
    members["op"] = op;
    return members.dump();
}

// A fresh copy, so that a run that changes the vault leaves the prepared one as it was.
std::string copy_of(const PreparedVault& vault, const std::string& copy) {
    fs::copy_file(vault.path, copy, fs::copy_options::overwrite_existing);
    return copy;
}

// velkaron-native as the browser starts it for its extension, serving `vault` through a
// configuration of its own under `dir`.
std::unique_ptr<ChildProcess> start_native(const Options& options, const TempDir& dir,
                                           const std::string& vault) {
    const std::string config_home = dir.file("native-config");
    fs::create_directories(config_home + "/velkaron");
    std::ofstream(config_home + "/velkaron/native-host.json") << nlohmann::json{{"vault", vault}};
    return std::make_unique<ChildProcess>(
        options.native, std::vector<std::string>{"chrome-extension://" VELKARON_EXTENSION_ID "/"},
        Environment{"XDG_CONFIG_HOME=" + config_home, "XDG_DATA_HOME=" + dir.file("native-data"),
                    "HOME=" + dir.file("native-home")});
}

void expect_clean_exit(ChildProcess& child) {
    if (const int status = child.wait(); status != 0) {
        throw std::runtime_error("child exited with status " + std::to_string(status));
    }
}

double derive_key_ms() {
    const SecretBytes salt = random_bytes(SALT_LEN);
    const auto start = std::chrono::steady_clock::now();
    auto key = derive_key(bytes_of(MASTER_PASSWORD), salt.span(), DEFAULT_KDF_PARAMS);
    const std::chrono::duration<double, std::milli> elapsed =
        std::chrono::steady_clock::now() - start;
    if (!key) throw std::runtime_error("derive_key: " + key.error());
    return elapsed.count();
}

// Pipelined throughput and one-at-a-time round trips of `status` on the ideal responder and
// on each build, taking turns in blocks, and the pipelined throughput of `generate` on each
// build.
void measure_status(const Options& options, const std::vector<Build>& builds,
                    const std::string& vault_path, Figures& figures) {
    struct Responder {
        std::unique_ptr<ChildProcess> child;
        Figures& figures;
        std::string key_prefix;
        std::string label;
        double pipelined_seconds = 0;
        std::vector<double> round_trips;
    };
    std::vector<Responder> responders;
    auto start = [&](const std::string& binary, Figures& into, std::string key_prefix,
                     std::string label) {
        responders.push_back(
            {std::make_unique<ChildProcess>(binary, std::vector<std::string>{vault_path}),
             into,
             std::move(key_prefix),
             std::move(label),
             0,
             {}});
    };
    start(options.ideal, figures, "ideal_", "ideal responder");
    for (const Build& build : builds) start(build.host, build.figures, "", "status");
    const std::string block_lines = numbered_requests("status", PIPELINED / BLOCKS);
    const std::string status = request("status");
    for (std::size_t block = 0; block < BLOCKS; ++block) {
        for (Responder& r : responders) {
            r.pipelined_seconds +=
                PIPELINED / BLOCKS / pipelined_rate(*r.child, block_lines, PIPELINED / BLOCKS);
        }
    }
    for (std::size_t block = 0; block < BLOCKS; ++block) {
        for (Responder& r : responders) {
            for (const double us : round_trips_us(*r.child, status, ROUND_TRIP_WARMUP / BLOCKS,
                                                  ROUND_TRIPS / BLOCKS)) {
                r.round_trips.push_back(us);
            }
        }
    }
    for (Responder& r : responders) {
        r.figures.add(r.key_prefix + "status_rate", r.label + ", pipelined", "req/s",
                      PIPELINED / r.pipelined_seconds);
        r.figures.add(r.key_prefix + "status_p50", r.label + " round trip p50", "µs",
                      percentile(r.round_trips, 50));
        r.figures.add(r.key_prefix + "status_p99", r.label + " round trip p99", "µs",
                      percentile(r.round_trips, 99));
        expect_clean_exit(*r.child);
    }
    for (const Build& build : builds) {
        ChildProcess host(build.host, {vault_path});
        build.figures.add(
            "generate_rate", "generate, pipelined", "req/s",
            pipelined_rate(host, numbered_requests("generate", PIPELINED), PIPELINED));
        expect_clean_exit(host);
    }
    add_ratio(figures, "status_rate_ratio", "status pipelined ÷ ideal responder", "status_rate",
              "ideal_status_rate");
    add_ratio(figures, "status_p50_ratio", "status p50 ÷ ideal responder p50", "status_p50",
              "ideal_status_p50");
}

// One-at-a-time round trips of `status` through the native host's framing against the line
// host's, in alternating blocks.
void measure_native_status(const Options& options, const std::string& vault_path,
                           const TempDir& dir, Figures& figures) {
    const std::string status = request("status");
    ChildProcess line(options.host, {vault_path});
    const auto native = start_native(options, dir, vault_path);
    std::vector<double> line_samples, native_samples;
    for (std::size_t block = 0; block < BLOCKS; ++block) {
        for (const double us :
             round_trips_us(line, status, ROUND_TRIP_WARMUP / BLOCKS, ROUND_TRIPS / BLOCKS)) {
            line_samples.push_back(us);
        }
        for (const double us : round_trips_us(*native, status, ROUND_TRIP_WARMUP / BLOCKS,
                                              ROUND_TRIPS / BLOCKS, Framing::NativeMessages)) {
            native_samples.push_back(us);
        }
    }
    expect_clean_exit(line);
    expect_clean_exit(*native);
    const double line_p50 = percentile(line_samples, 50);
    const double native_p50 = percentile(native_samples, 50);
    figures.add("native_status_p50", "status round trip p50, native messages", "µs", native_p50);
    figures.add("native_status_p99", "status round trip p99, native messages", "µs",
                percentile(native_samples, 99));
    figures.add("native_line_status_p50", "status round trip p50, lines, taking turns with it",
                "µs", line_p50);
    figures.add("native_status_p50_ratio", "status p50 native messages ÷ lines", "×",
                native_p50 / line_p50);
}

// derive_key measured in this process, then `create` against it, and `unlock-recovery` and
// `change-password` on the 100-login vault.
void measure_keys(const Options& options, const PreparedVault& vault, const TempDir& dir,
                  Figures& figures) {
    const double derive = derive_key_ms();
    figures.add("derive_key", "derive_key (64 MiB, 3 passes, 1 lane) in the driver", "ms", derive);

    ChildProcess creator(options.host, {dir.file("created.vault")});
    const double create = timed_ms(creator, request("create", {{"password", MASTER_PASSWORD}}));
    expect_clean_exit(creator);
    fs::remove(dir.file("created.vault"));
    figures.add("create", "create", "ms", create);
    figures.add("create_ratio", "create ÷ derive_key", "×", create / derive);

    const std::string label = " (" + std::to_string(vault.count) + " logins)";
    ChildProcess host(options.host, {copy_of(vault, dir.file("keys.vault"))});
    figures.add("unlock_recovery", "unlock-recovery" + label, "ms",
                timed_ms(host, request("unlock-recovery", {{"code", vault.recovery_code}})));
    figures.add("change_password", "change-password" + label, "ms",
                timed_ms(host, request("change-password", {{"password", MASTER_PASSWORD},
                                                           {"new_password", NEW_PASSWORD}})));
    expect_clean_exit(host);
}

// `velkaron ls` and `velkaron clip HOST` on a vault, start to finish, taking turns with the host
// started and driven directly with the requests they make (unlock, list, and for clip reveal).
// The clipboard is a stand-in that takes the password and gives nothing back, so that the
// client's own cost is measured, not the desktop's.
void measure_cli(const Options& options, const PreparedVault& vault, const TempDir& dir,
                 Figures& figures) {
    const std::string copy = copy_of(vault, dir.file("cli.vault"));
    const std::string bin = dir.file("cli-bin");
    fs::create_directories(bin);
    std::ofstream(bin + "/xclip") << "#!/bin/sh\ncat >/dev/null\n";
    fs::permissions(bin + "/xclip", fs::perms::owner_all);
    const Environment env{"PATH=" + bin + ":/usr/bin:/bin", "DISPLAY=:velkaron-bench",
                          "HOME=" + dir.file("cli-home")};
    const std::string host = login_host(vault.count - 1);
    const std::string master_line = std::string(MASTER_PASSWORD) + "\n";
    const auto client_ms = [&](std::vector<std::string> command) {
        std::vector<std::string> args{"--vault", copy, "--host-binary", options.host,
                                      "--password-stdin"};
        args.insert(args.end(), command.begin(), command.end());
        const auto start = std::chrono::steady_clock::now();
        const auto done = testing_support::run_to_end(options.cli, args, master_line, env);
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        if (done.status != 0) throw std::runtime_error("velkaron: " + done.err);
        return elapsed.count();
    };
    const auto direct_ms = [&](bool reveal) {
        const auto start = std::chrono::steady_clock::now();
        ChildProcess direct(options.host, {copy});
        (void)direct.request(request("unlock", {{"password", MASTER_PASSWORD}}));
        const auto list = nlohmann::json::parse(direct.request(request("list")));
        if (reveal) {
            for (const auto& entry : list["data"]) {
                if (entry["host"] == host) {
                    (void)direct.request(request("reveal", {{"entry_id", entry["id"]}}));
                }
            }
        }
        expect_clean_exit(direct);
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        return elapsed.count();
    };
    std::vector<double> cli_ls, host_ls, cli_clip, host_clip;
    for (std::size_t i = 0; i < REPEATS; ++i) {
        host_ls.push_back(direct_ms(false));
        cli_ls.push_back(client_ms({"ls"}));
        host_clip.push_back(direct_ms(true));
        cli_clip.push_back(client_ms({"clip", host}));
    }
    const std::string n = std::to_string(vault.count);
    const std::string label = " (" + n + " logins)";
    figures.add("cli_ls_" + n, "velkaron ls" + label, "ms", median(cli_ls));
    figures.add("cli_ls_host_" + n, "host: start, unlock, list" + label, "ms", median(host_ls));
    figures.add("cli_clip_" + n, "velkaron clip" + label, "ms", median(cli_clip));
    figures.add("cli_clip_host_" + n, "host: start, unlock, list, reveal" + label, "ms",
                median(host_clip));
    add_ratio(figures, "cli_ls_ratio_" + n, "velkaron ls ÷ host driven directly" + label,
              "cli_ls_" + n, "cli_ls_host_" + n);
    add_ratio(figures, "cli_clip_ratio_" + n, "velkaron clip ÷ host driven directly" + label,
              "cli_clip_" + n, "cli_clip_host_" + n);
}

double median_ms(ChildProcess& host, const std::string& line, Framing framing) {
    std::vector<double> samples;
    for (std::size_t i = 0; i < REPEATS; ++i) samples.push_back(timed_ms(host, line, framing));
    return median(samples);
}

// One host of a build on its own copy of a vault.
struct EntrySession {
    std::unique_ptr<ChildProcess> host;
    Figures& figures;
};

// Each build's fresh host on a copy of `vault`: `unlock` (the first request after a status)
// against derive_key in this process, peak memory right after it, then `list`, `for-host`, `put`
// with the id of the last login (the save alone, nearly) and `put` without id for the last
// login's host and user name (search through all, then save). Every request goes to the hosts
// in turns, so that all of them meet the same load.
void measure_entries(const std::vector<Build>& builds, const PreparedVault& vault,
                     const TempDir& dir) {
    const std::string n = std::to_string(vault.count);
    const std::string label = " (" + n + " logins)";
    const std::size_t last = vault.count - 1;
    std::vector<EntrySession> sessions;
    for (const Build& build : builds) {
        const std::string copy = dir.file("entries-" + std::to_string(sessions.size()) + ".vault");
        auto host = std::make_unique<ChildProcess>(build.host,
                                                   std::vector<std::string>{copy_of(vault, copy)});
        // A status first, which reads nothing of the file, so that starting the process is not
        // counted. Lock drops the file, so every unlock reads and parses it anew; each has its
        // own derive_key right before it, so that both meet the same load.
        (void)timed_ms(*host, request("status"));
        std::vector<double> unlocks, ratios;
        double peak_mib = 0;  // after the first unlock, before any lock
        for (std::size_t i = 0; i < UNLOCK_PAIRS; ++i) {
            if (i > 0) (void)timed_ms(*host, request("lock"));
            const double derive = derive_key_ms();
            unlocks.push_back(timed_ms(*host, request("unlock", {{"password", MASTER_PASSWORD}})));
            ratios.push_back(unlocks.back() / derive);
            if (i == 0) peak_mib = static_cast<double>(peak_rss_kib(host->pid())) / 1024.0;
        }
        build.figures.add("unlock_" + n, "unlock" + label, "ms", median(unlocks));
        build.figures.add("unlock_ratio_" + n, "unlock" + label + " ÷ derive_key just before", "×",
                          median(ratios));
        build.figures.add("unlock_peak_rss_" + n, "peak RSS after unlock" + label, "MiB", peak_mib);
        build.figures.add("vault_size_" + n, "vault file size" + label, "MiB",
                          static_cast<double>(vault.file_bytes) / MIB);
        sessions.push_back({std::move(host), build.figures});
    }
    // Milliseconds of REPEATS requests per session, taking turns.
    auto in_turns = [&](const std::string& line) {
        std::vector<std::vector<double>> samples(sessions.size());
        for (std::size_t i = 0; i < REPEATS; ++i) {
            for (std::size_t s = 0; s < sessions.size(); ++s) {
                samples[s].push_back(timed_ms(*sessions[s].host, line));
            }
        }
        return samples;
    };
    const auto lists = in_turns(request("list"));
    const nlohmann::json look_up{{"host", "www.login." + login_host(vault.count / 2)},
                                 {"secure", true}};
    const auto look_ups = in_turns(request("for-host", look_up));
    const nlohmann::json login{{"host", login_host(last)},
                               {"username", login_username(last)},
                               {"password", "changed password"}};
    nlohmann::json by_id = login;
    by_id["entry_id"] = vault.last_id;
    // With and without id alternated, so that both see the same state of the disk cache; the
    // search's own share is the median of the pairwise differences.
    std::vector<std::vector<double>> saved(sessions.size()), searched(sessions.size());
    for (std::size_t i = 0; i < PUT_PAIRS; ++i) {
        for (std::size_t s = 0; s < sessions.size(); ++s) {
            saved[s].push_back(timed_ms(*sessions[s].host, request("put", by_id)));
            searched[s].push_back(timed_ms(*sessions[s].host, request("put", login)));
        }
    }
    for (std::size_t s = 0; s < sessions.size(); ++s) {
        Figures& figures = sessions[s].figures;
        figures.add("list_" + n, "list" + label, "ms", median(lists[s]));
        figures.add("for_host_" + n, "for-host" + label, "ms", median(look_ups[s]));
        std::vector<double> difference;
        for (std::size_t i = 0; i < PUT_PAIRS; ++i) {
            difference.push_back(searched[s][i] - saved[s][i]);
        }
        figures.add("put_by_id_" + n, "put with entry_id (≈ the save alone)" + label, "ms",
                    median(saved[s]));
        figures.add("put_" + n, "put without entry_id" + label, "ms", median(searched[s]));
        figures.add("put_search_" + n, "put without entry_id − put with entry_id" + label, "ms",
                    median(difference));
        figures.add("peak_rss_" + n, "peak RSS after all of the above" + label, "MiB",
                    static_cast<double>(peak_rss_kib(sessions[s].host->pid())) / 1024.0);
        expect_clean_exit(*sessions[s].host);
    }
}

// `list` through the native host's framing, chunk messages and all.
void measure_native_list(const Options& options, const PreparedVault& vault, const TempDir& dir,
                         Figures& figures) {
    const auto native = start_native(options, dir, copy_of(vault, dir.file("native.vault")));
    (void)timed_ms(*native, request("unlock", {{"password", MASTER_PASSWORD}}),
                   Framing::NativeMessages);
    const double native_list = median_ms(*native, request("list"), Framing::NativeMessages);
    figures.add("list_native_" + std::to_string(vault.count),
                "list, native messages (" + std::to_string(vault.count) + " logins)", "ms",
                native_list);
    expect_clean_exit(*native);
}

// Passes of the floor, one after the other, so that its data is as warm as it gets.
double floor_ms(EntryFloor& floor) {
    std::vector<double> samples;
    for (std::size_t i = 0; i < REPEATS; ++i) {
        const auto start = std::chrono::steady_clock::now();
        (void)floor.open_all();
        const std::chrono::duration<double, std::milli> elapsed =
            std::chrono::steady_clock::now() - start;
        samples.push_back(elapsed.count());
    }
    return median(samples);
}

// The floor right before the entry operations on each build, then this build's entry
// operations against it.
void measure_vault(const Options& options, const std::vector<Build>& builds,
                   const PreparedVault& vault, EntryFloor& floor, const TempDir& dir,
                   Figures& figures) {
    const std::string n = std::to_string(vault.count);
    const std::string label = " (" + n + " logins)";
    figures.add("floor_" + n, "floor: decode, decrypt, memchr of every entry" + label, "ms",
                floor_ms(floor));
    measure_entries(builds, vault, dir);
    add_ratio(figures, "list_floor_ratio_" + n, "list" + label + " ÷ floor", "list_" + n,
              "floor_" + n);
    add_ratio(figures, "for_host_floor_ratio_" + n, "for-host" + label + " ÷ floor",
              "for_host_" + n, "floor_" + n);
    add_ratio(figures, "put_search_floor_ratio_" + n,
              "(put without entry_id − put with entry_id)" + label + " ÷ floor", "put_search_" + n,
              "floor_" + n);
    measure_native_list(options, vault, dir, figures);
}

// Import and export of IMPORT_ROWS logins on a fresh host on a copy of the empty vault, REPEATS
// times: the import into the empty vault against its floor (sealing the same logins and one
// save, in this process, right before), the same import again (all unchanged, nothing
// written) and export against a `list` of the imported logins, export less the derive_key of
// an export with a wrong password right before it, the median of the pairs' differences.
void measure_transfer(const Options& options, const PreparedVault& empty, const TempDir& dir,
                      Figures& figures) {
    const std::string file = import_file(IMPORT_ROWS);
    const std::string import = request("import", {{"data", base64_encode(bytes_of(file))}});
    const std::string n = std::to_string(IMPORT_ROWS);
    const std::string export_request = request("export", {{"password", MASTER_PASSWORD}});
    const std::string wrong_export = request("export", {{"password", NEW_PASSWORD}});
    std::vector<double> floors, imports, again, lists, exports;
    for (std::size_t i = 0; i < REPEATS; ++i) {
        floors.push_back(
            import_floor_ms(empty.path, empty.key, IMPORT_ROWS, dir.file("floor.vault")));
        ChildProcess host(options.host, {copy_of(empty, dir.file("import.vault"))});
        (void)timed_ms(host, request("unlock", {{"password", MASTER_PASSWORD}}));
        imports.push_back(timed_ms(host, import));
        again.push_back(timed_ms(host, import));
        lists.push_back(timed_ms(host, request("list")));
        for (std::size_t pair = 0; pair < EXPORT_PAIRS; ++pair) {
            const double check = timed_refused_ms(host, wrong_export);
            exports.push_back(timed_ms(host, export_request) - check);
        }
        expect_clean_exit(host);
    }
    const std::string rows = " (" + n + " Chromium rows)";
    figures.add("import_floor_" + n, "floor: seal the same logins, one save_vault" + rows, "ms",
                median(floors));
    figures.add("import_" + n, "import into an empty vault" + rows, "ms", median(imports));
    figures.add("reimport_" + n, "the same import again, all unchanged" + rows, "ms",
                median(again));
    figures.add("import_list_" + n, "list of the imported logins" + rows, "ms", median(lists));
    figures.add("export_" + n,
                "export − export with a wrong password (its derive_key) just before" + rows, "ms",
                median(exports));
    add_ratio(figures, "import_floor_ratio_" + n, "import" + rows + " ÷ floor", "import_" + n,
              "import_floor_" + n);
    add_ratio(figures, "reimport_list_ratio_" + n, "import again" + rows + " ÷ list",
              "reimport_" + n, "import_list_" + n);
    add_ratio(figures, "export_list_ratio_" + n, "(export − derive_key)" + rows + " ÷ list",
              "export_" + n, "import_list_" + n);
}

// This build, and the baseline where there is one: taking turns, the baseline first in every
// other run, so that neither always meets the warmer caches.
std::vector<Build> builds_of_run(const Options& options, int run, Figures& figures,
                                 Figures& baseline) {
    const Build current{options.host, figures};
    if (options.baseline.empty()) return {current};
    const Build other{options.baseline, baseline};
    if (run % 2 == 1) return {current, other};
    return {other, current};
}

// The entries as stored in the file, to open without the host.
EntryFloor floor_of(const PreparedVault& vault) {
    auto loaded = load_vault(vault.path);
    if (!loaded) throw std::runtime_error("load_vault: " + loaded.error());
    return EntryFloor(std::move(loaded->vault.entries), vault.key.clone());
}

int run(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    init_sodium();
    TempDir dir;
    std::cerr << "preparing an empty vault\n";
    const PreparedVault empty = prepare_vault(dir.file("prepared-0"), 0);
    std::vector<PreparedVault> vaults;
    std::vector<EntryFloor> floors;
    for (const std::size_t count : ENTRY_COUNTS) {
        if (options.only == "transfer") break;
        std::cerr << "preparing a vault of " << count << " logins\n";
        vaults.push_back(prepare_vault(dir.file("prepared-" + std::to_string(count)), count));
        floors.push_back(floor_of(vaults.back()));
    }
    Figures figures, baseline, versus;
    for (int r = 1; r <= options.runs; ++r) {
        std::cerr << "run " << r << " of " << options.runs << '\n';
        if (!options.cli.empty() && options.only != "transfer") {
            measure_cli(options, vaults.back(), dir, figures);
        }
        if (options.only != "cli") measure_transfer(options, empty, dir, figures);
        if (!options.only.empty()) continue;
        const std::vector<Build> builds = builds_of_run(options, r, figures, baseline);
        measure_status(options, builds, vaults.front().path, figures);
        measure_native_status(options, vaults.front().path, dir, figures);
        measure_keys(options, vaults.front(), dir, figures);
        for (std::size_t v = 0; v < vaults.size(); ++v) {
            measure_vault(options, builds, vaults[v], floors[v], dir, figures);
        }
        if (options.baseline.empty() || !options.only.empty()) continue;
        for (const std::string_view key : COMPARED) {
            versus.add(key, figures.at(key).label, "×",
                       figures.at(key).values.back() / baseline.at(key).values.back());
        }
    }
    nlohmann::json all{{"runs", options.runs}, {"figures", figures.to_json()}};
    if (!options.baseline.empty()) {
        all["baseline"] = {{"host", options.baseline},
                           {"figures", baseline.to_json()},
                           {"versus", versus.to_json()}};
    }
    std::ofstream out(options.out);
    out << all.dump(2) << '\n';
    if (!out) throw std::runtime_error("cannot write " + options.out);
    return 0;
}

}  // namespace
}  // namespace velkaron::bench

int main(int argc, char** argv) {
    try {
        return velkaron::bench::run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "velkaron_load: " << e.what() << '\n';
        return 1;
    }
}
