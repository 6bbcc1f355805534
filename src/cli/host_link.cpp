#include "cli/host_link.hpp"

#include <unistd.h>

#include <filesystem>

#include "base/os_error.hpp"
#include "cli/program_path.hpp"

namespace velkaron::cli {
namespace {

constexpr std::string_view HOST_NAME = "velkaron-vault";

}  // namespace

Outcome<std::string> find_host_binary(const std::optional<std::string>& override) {
    if (override) return *override;
    const std::string own = own_executable();
    if (!own.empty()) {
        const auto beside = std::filesystem::path(own).parent_path() / HOST_NAME;
        if (::access(beside.c_str(), X_OK) == 0) return beside.string();
    }
    if (auto on_path = find_in_path(HOST_NAME)) return *on_path;
    return host_gone("velkaron-vault nicht gefunden (weder neben velkaron noch im PATH)");
}

Outcome<HostLink> HostLink::start(const std::string& binary, const std::string& vault) {
    Child child;
    if (!spawn_child({binary, vault}, Stream::pipe, Stream::pipe, Stream::inherit, child)) {
        return host_gone("velkaron-vault nicht startbar: " + binary + ": " + os_error(errno));
    }
    return HostLink(std::move(child));
}

HostLink::~HostLink() {
    if (child_.pid < 0) return;
    child_.input.reset();
    child_.output.reset();
    (void)wait_child(child_.pid);
}

Outcome<Json> HostLink::ask(Json request) {
    request["id"] = next_id_++;
    SecretString line(request.dump(-1, ' ', false, Json::error_handler_t::strict));
    line.push_back('\n');
    if (write_all(child_.input.get(), line) != 0) {
        return host_gone("velkaron-vault hat vorzeitig beendet");
    }
    std::size_t end;
    while ((end = received_.find('\n')) == SecretString::npos) {
        char chunk[4096];
        const ssize_t got = read_some(child_.output.get(), chunk, sizeof chunk);
        if (got <= 0) return host_gone("velkaron-vault hat vorzeitig beendet");
        received_.append(chunk, static_cast<std::size_t>(got));
        sodium_memzero(chunk, sizeof chunk);
    }
    Json answer;
    try {
        answer = Json::parse(std::string_view(received_).substr(0, end));
    } catch (const Json::exception&) {
        return host_gone("velkaron-vault antwortet unlesbar");
    }
    received_.erase(0, end + 1);
    if (answer.value("ok", false)) return std::move(answer["data"]);
    return refused(answer.value("error", std::string("velkaron-vault antwortet unlesbar")));
}

}  // namespace velkaron::cli
