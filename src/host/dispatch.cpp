#include "host/dispatch.hpp"

#include <algorithm>
#include <array>
#include <span>

#include "entries/autofill.hpp"
#include "entries/generator.hpp"
#include "entries/operations.hpp"
#include "host/status.hpp"
#include "keys/create.hpp"
#include "keys/unlock.hpp"
#include "protocol/response.hpp"
#include "transfer/export.hpp"
#include "transfer/import.hpp"

namespace velkaron {
namespace {

using Data = Result<Json>;
using Member = std::optional<SecretString> Request::*;
using Writer = json::DataWriter;

struct RequiredMember {
    Member member;
    std::string_view label;
};

// Handlers run after the required members have been found present and non-empty. Most build
// their data as a Json; those whose data grows with the vault (list, for-host, reveal, which
// shares for-host's items) and status, which clients poll, write it into the response line
// themselves.
struct Operation {
    std::string_view name;
    std::array<RequiredMember, 2> required;
    std::size_t required_count;
    Data (*run)(HostState&, const Request&) = nullptr;
    Status (*write)(HostState&, const Request&, Writer&) = nullptr;
};

// A secret text as a JSON string; the data's strings wipe themselves as the text does.
Json secret_json(const SecretString& text) {
    return Json(static_cast<const WipingString&>(text));
}

Data with_flag(const Status& done, const char* name) {
    if (!done) return fail(done.error());
    return Json{{name, true}};
}

Status write_status(HostState& state, const Request&, Writer& out) {
    status(state, out);
    return {};
}
Data run_lock(HostState& state, const Request&) {
    return lock(state);
}

Data run_create(HostState& state, const Request& request) {
    VELKARON_TRY(code, create_vault(state, *request.password));
    return Json{{"recoveryCode", secret_json(*code)}};
}

Data run_unlock(HostState& state, const Request& request) {
    VELKARON_TRY(done, unlock_vault(state, *request.password));
    return Json{{"entries", state.vault()->entries.size()}, {"unlocked", true}};
}

Data run_unlock_recovery(HostState& state, const Request& request) {
    return with_flag(unlock_with_recovery(state, *request.code), "unlocked");
}

Data run_change_password(HostState& state, const Request& request) {
    return with_flag(change_password(state, *request.password, *request.new_password), "changed");
}

Data run_reset_password(HostState& state, const Request& request) {
    return with_flag(reset_password(state, *request.code, *request.new_password), "changed");
}

Data run_put(HostState& state, const Request& request) {
    const PutRequest put{
        .host = *request.host,
        .username = request.username ? request.username->view() : std::string_view(),
        .password = *request.password,
        .title = request.title ? request.title->view() : std::string_view(),
        .entry_id = request.entry_id ? std::optional<std::string_view>(request.entry_id->view())
                                     : std::nullopt,
    };
    VELKARON_TRY(id, put_entry(state, put));
    return Json{{"id", std::move(*id)}};
}

Status write_list(HostState& state, const Request&, Writer& out) {
    return list_entries(state, out);
}

Status write_reveal(HostState& state, const Request& request, Writer& out) {
    return reveal_entry(state, *request.entry_id, out);
}

Data run_delete(HostState& state, const Request& request) {
    return with_flag(delete_entry(state, *request.entry_id), "deleted");
}

Status write_for_host(HostState& state, const Request& request, Writer& out) {
    if (request.secure != true) return fail("Autofill nur über HTTPS");
    return entries_for_host(state, *request.host, out);
}

Data run_generate(HostState&, const Request& request) {
    return Json{{"password", secret_json(generate_password(request.length))}};
}

Json conflicts_json(const std::vector<ImportConflict>& conflicts) {
    Json items = Json::array();
    for (const auto& conflict : conflicts) {
        items.push_back({{"line", conflict.line},
                         {"host", secret_json(conflict.host)},
                         {"username", secret_json(conflict.username)}});
    }
    return items;
}

Json skipped_json(const std::vector<SkippedRow>& skipped) {
    Json items = Json::array();
    for (const auto& row : skipped) items.push_back({{"line", row.line}, {"reason", row.reason}});
    return items;
}

Data run_import(HostState& state, const Request& request) {
    // An empty file is told apart from a missing one, so `data` is not a required member.
    if (!request.data) return fail("Datei fehlt");
    VELKARON_TRY(summary, import_file(state, *request.data, request.replace.value_or(false)));
    const ImportCounts& counts = summary->counts;
    return Json{{"added", counts.added},
                {"unchanged", counts.unchanged},
                {"replaced", counts.replaced},
                {"conflicts", conflicts_json(counts.conflicts)},
                {"skipped", skipped_json(summary->skipped)},
                {"notes_dropped", summary->notes_dropped}};
}

// The file holds every password; written into the line, it is not copied into a document.
Status write_export(HostState& state, const Request& request, Writer& out) {
    VELKARON_TRY(csv, export_csv(state, *request.password));
    json::ObjectWriter object(out);
    object.member("csv").string(*csv);
    object.close();
    return {};
}

constexpr RequiredMember PASSWORD{&Request::password, "Passwort"};
constexpr RequiredMember ENTRY_ID{&Request::entry_id, "Eintrags-Id"};
constexpr RequiredMember HOST{&Request::host, "Host"};
constexpr RequiredMember NONE{nullptr, ""};

constexpr RequiredMember NEW_PASSWORD{&Request::new_password, "neues Passwort"};
constexpr RequiredMember RECOVERY_CODE{&Request::code, "Wiederherstellungscode"};

constexpr std::array<Operation, 15> OPERATIONS{{
    {"status", {NONE, NONE}, 0, nullptr, write_status},
    {"lock", {NONE, NONE}, 0, run_lock},
    {"create", {PASSWORD, NONE}, 1, run_create},
    {"unlock", {PASSWORD, NONE}, 1, run_unlock},
    {"unlock-recovery", {RECOVERY_CODE, NONE}, 1, run_unlock_recovery},
    {"change-password",
     {{{&Request::password, "altes Passwort"}, NEW_PASSWORD}},
     2,
     run_change_password},
    {"reset-password", {RECOVERY_CODE, NEW_PASSWORD}, 2, run_reset_password},
    {"put", {HOST, PASSWORD}, 2, run_put},
    {"list", {NONE, NONE}, 0, nullptr, write_list},
    {"reveal", {ENTRY_ID, NONE}, 1, nullptr, write_reveal},
    {"delete", {ENTRY_ID, NONE}, 1, run_delete},
    {"for-host", {HOST, NONE}, 1, nullptr, write_for_host},
    {"generate", {NONE, NONE}, 0, run_generate},
    {"import", {NONE, NONE}, 0, run_import},
    {"export", {PASSWORD, NONE}, 1, nullptr, write_export},
}};

}  // namespace

Result<std::string_view> require_field(const std::optional<SecretString>& member,
                                       std::string_view label) {
    if (!member || member->empty()) return fail(std::string(label) + " fehlt");
    return member->view();
}

bool dispatch(HostState& state, const Request& request, SecretString& line) {
    const auto* op = std::find_if(OPERATIONS.begin(), OPERATIONS.end(),
                                  [&](const Operation& o) { return o.name == request.op; });
    const auto refuse = [&](std::string message) {
        return encode_response({request.id, fail(std::move(message))}, line);
    };
    if (op == OPERATIONS.end()) return refuse("unbekannte Operation: " + request.op);
    for (std::size_t i = 0; i < op->required_count; ++i) {
        const auto& required = op->required[i];
        if (auto present = require_field(request.*required.member, required.label); !present) {
            return refuse(std::move(present.error()));
        }
    }
    if (op->write == nullptr) return encode_response({request.id, op->run(state, request)}, line);
    return encode_written_response(
        request.id, [&](Writer& out) { return op->write(state, request, out); }, line);
}

}  // namespace velkaron
