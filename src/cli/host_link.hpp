#pragma once

#include <optional>
#include <string>
#include <utility>

#include "base/secret_string.hpp"
#include "cli/child.hpp"
#include "cli/outcome.hpp"
#include "json/json.hpp"
#include "protocol/line_reader.hpp"

namespace velkaron::cli {

// The host binary: `override` when given, else velkaron-vault beside this program, else the
// first on $PATH.
[[nodiscard]] Outcome<std::string> find_host_binary(const std::optional<std::string>& override);

// One velkaron-vault process on one vault, spoken to in JSON lines. Dropping it ends the
// host's input, so that it wipes its key and ends.
class HostLink {
  public:
    [[nodiscard]] static Outcome<HostLink> start(const std::string& binary,
                                                 const std::string& vault);
    HostLink(HostLink&& other) noexcept
        : child_{std::exchange(other.child_.pid, -1), std::move(other.child_.input),
                 std::move(other.child_.output)},
          answers_(std::move(other.answers_)),
          next_id_(other.next_id_) {}
    HostLink& operator=(HostLink&&) noexcept = delete;
    ~HostLink();

    // Sends `request` (its "id" is set here) and gives the answer's data; the host's message
    // with exit status 1 when it refused, status 4 when it is gone.
    [[nodiscard]] Outcome<Json> ask(Json request);

    // Ends the host's input once the last request is answered (each change is saved before
    // its answer): the host wipes its key and ends while this program prints, and dropping
    // the link then only waits for it. Asking after this finds the host gone.
    void finish() noexcept { child_.input.reset(); }

  private:
    explicit HostLink(Child child) : child_(std::move(child)), answers_(child_.output.get()) {}

    Child child_;
    LineReader answers_;
    std::uint64_t next_id_ = 1;
};

}  // namespace velkaron::cli
