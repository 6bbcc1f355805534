// End-to-end load driver: starts the real host on prepared vaults, talks to it through pipes
// as a client does and writes the figures of every run as JSON. The ideal responder, driven
// the same way in the same run, is the baseline for `status`.
//
//   velkaron_load --host PATH --ideal PATH [--runs N] --out FILE

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "crypto/bytes.hpp"
#include "crypto/derive_key.hpp"
#include "crypto/random.hpp"
#include "crypto/sodium.hpp"
#include "figures.hpp"
#include "measure.hpp"
#include "prepared_vault.hpp"
#include "stats.hpp"
#include "support/child_process.hpp"
#include "support/temp_dir.hpp"

namespace velkaron::bench {
namespace {

namespace fs = std::filesystem;
using testing_support::ChildProcess;
using testing_support::TempDir;

constexpr std::size_t PIPELINED = 100'000;
constexpr std::size_t ROUND_TRIP_WARMUP = 1'000;
constexpr std::size_t ROUND_TRIPS = 20'000;
constexpr std::size_t REPEATS = 5;  // of each entry operation in one run
// The first is also the vault of the `status`, `unlock` and key figures.
constexpr std::array<std::size_t, 3> ENTRY_COUNTS{100, 1'000, 10'000};
constexpr std::string_view NEW_PASSWORD = "load-driver new password";
constexpr double MIB = 1024.0 * 1024.0;

struct Options {
    std::string host;
    std::string ideal;
    std::string out;
    int runs = 5;
};

Options parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--host")
            options.host = value;
        else if (name == "--ideal")
            options.ideal = value;
        else if (name == "--out")
            options.out = value;
        else if (name == "--runs")
            options.runs = std::stoi(value);
        else
            throw std::invalid_argument("unknown option " + std::string(name));
    }
    if (argc % 2 == 0 || options.host.empty() || options.ideal.empty() || options.out.empty() ||
        options.runs < 1) {
        throw std::invalid_argument(
            "usage: velkaron_load --host PATH --ideal PATH [--runs N] --out FILE");
    }
    return options;
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

// Pipelined throughput and one-at-a-time round trips of `status`, on the ideal responder and
// on the host, and the pipelined throughput of `generate` on the host.
void measure_status(const Options& options, const std::string& vault_path, Figures& figures) {
    const std::string status_lines = numbered_requests("status", PIPELINED);
    const std::string status = request("status");
    struct Sample {
        double rate;
        std::vector<double> round_trips;
    };
    auto sample = [&](ChildProcess& child) {
        Sample s{pipelined_rate(child, status_lines, PIPELINED),
                 round_trips_us(child, status, ROUND_TRIP_WARMUP, ROUND_TRIPS)};
        return s;
    };
    ChildProcess ideal(options.ideal, {vault_path});
    const Sample base = sample(ideal);
    expect_clean_exit(ideal);
    ChildProcess host(options.host, {vault_path});
    const Sample served = sample(host);
    const double generate_rate =
        pipelined_rate(host, numbered_requests("generate", PIPELINED), PIPELINED);
    expect_clean_exit(host);

    const double base_p50 = percentile(base.round_trips, 50);
    const double served_p50 = percentile(served.round_trips, 50);
    figures.add("status_rate", "status, pipelined", "req/s", served.rate);
    figures.add("ideal_status_rate", "ideal responder, pipelined", "req/s", base.rate);
    figures.add("status_rate_ratio", "status pipelined ÷ ideal responder", "×",
                served.rate / base.rate);
    figures.add("status_p50", "status round trip p50", "µs", served_p50);
    figures.add("status_p99", "status round trip p99", "µs", percentile(served.round_trips, 99));
    figures.add("ideal_status_p50", "ideal responder round trip p50", "µs", base_p50);
    figures.add("ideal_status_p99", "ideal responder round trip p99", "µs",
                percentile(base.round_trips, 99));
    figures.add("status_p50_ratio", "status p50 ÷ ideal responder p50", "×", served_p50 / base_p50);
    figures.add("generate_rate", "generate, pipelined", "req/s", generate_rate);
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

double median_ms(ChildProcess& host, const std::string& line) {
    std::vector<double> samples;
    for (std::size_t i = 0; i < REPEATS; ++i) samples.push_back(timed_ms(host, line));
    return median(samples);
}

// A fresh host on a copy of `vault`: `unlock` (its first request) against derive_key in this
// process, peak memory right after it,
// then `list`, `for-host`, `put` with the id of the last login (the save alone, nearly) and
// `put` without id for the last login's host and user name (search through all, then save).
void measure_entries(const Options& options, const PreparedVault& vault, const TempDir& dir,
                     Figures& figures) {
    const std::string n = std::to_string(vault.count);
    const std::string label = " (" + n + " logins)";
    const std::size_t last = vault.count - 1;
    // The ratio's derive_key comes right before the unlock, so that both meet the same load.
    const double derive = derive_key_ms();
    ChildProcess host(options.host, {copy_of(vault, dir.file("entries.vault"))});
    const double unlock = timed_ms(host, request("unlock", {{"password", MASTER_PASSWORD}}));
    figures.add("unlock_" + n, "unlock" + label, "ms", unlock);
    figures.add("unlock_ratio_" + n, "unlock" + label + " ÷ derive_key just before", "×",
                unlock / derive);
    figures.add("unlock_peak_rss_" + n, "peak RSS after unlock" + label, "MiB",
                static_cast<double>(peak_rss_kib(host.pid())) / 1024.0);
    figures.add("vault_size_" + n, "vault file size" + label, "MiB",
                static_cast<double>(vault.file_bytes) / MIB);
    figures.add("list_" + n, "list" + label, "ms", median_ms(host, request("list")));
    const nlohmann::json look_up{{"host", "www.login." + login_host(vault.count / 2)},
                                 {"secure", true}};
    figures.add("for_host_" + n, "for-host" + label, "ms",
                median_ms(host, request("for-host", look_up)));
    const nlohmann::json login{{"host", login_host(last)},
                               {"username", login_username(last)},
                               {"password", "changed password"}};
    nlohmann::json by_id = login;
    by_id["entry_id"] = vault.last_id;
    // Alternated, so that both see the same state of the disk cache; the search's own share
    // is the median of the pairwise differences.
    std::vector<double> saved, searched, difference;
    for (std::size_t i = 0; i < REPEATS; ++i) {
        saved.push_back(timed_ms(host, request("put", by_id)));
        searched.push_back(timed_ms(host, request("put", login)));
        difference.push_back(searched.back() - saved.back());
    }
    figures.add("put_by_id_" + n, "put with entry_id (≈ the save alone)" + label, "ms",
                median(saved));
    figures.add("put_" + n, "put without entry_id" + label, "ms", median(searched));
    figures.add("put_search_" + n, "put without entry_id − put with entry_id" + label, "ms",
                median(difference));
    figures.add("peak_rss_" + n, "peak RSS after all of the above" + label, "MiB",
                static_cast<double>(peak_rss_kib(host.pid())) / 1024.0);
    expect_clean_exit(host);
}

int run(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    init_sodium();
    TempDir dir;
    std::vector<PreparedVault> vaults;
    for (const std::size_t count : ENTRY_COUNTS) {
        std::cerr << "preparing a vault of " << count << " logins\n";
        vaults.push_back(prepare_vault(dir.file("prepared-" + std::to_string(count)), count));
    }
    Figures figures;
    for (int r = 1; r <= options.runs; ++r) {
        std::cerr << "run " << r << " of " << options.runs << '\n';
        measure_status(options, vaults.front().path, figures);
        measure_keys(options, vaults.front(), dir, figures);
        for (const auto& vault : vaults) measure_entries(options, vault, dir, figures);
    }
    std::ofstream out(options.out);
    out << nlohmann::json{{"runs", options.runs}, {"figures", figures.to_json()}}.dump(2) << '\n';
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
