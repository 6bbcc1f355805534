#include "protocol/request.hpp"

#include <array>

#include "base/wire_texts.hpp"
#include "json/reader.hpp"

namespace velkaron {
namespace {

using json::field;

constexpr auto REQUEST_FIELDS = json::field_table(
    field<&Request::id>("id"), field<&Request::op>("op"), field<&Request::password>("password"),
    field<&Request::new_password>("new_password"), field<&Request::code>("code"),
    field<&Request::entry_id>("entry_id"), field<&Request::host>("host"),
    field<&Request::username>("username"), field<&Request::title>("title"),
    field<&Request::secure>("secure"),
    field<&Request::length>("length").expecting(wire::EXPECTED_USIZE),
    field<&Request::data>("data"), field<&Request::replace>("replace"));

// The array form needs at least `id` and `op` and gives at most the eleven members before
// `data`, which came later: its bound and faults stay those of eleven members.
constexpr std::size_t POSITIONAL_MEMBERS = 11;
constexpr json::Schema<Request> REQUEST_SCHEMA{"struct Request", REQUEST_FIELDS,
                                               json::ArrayForm{2, POSITIONAL_MEMBERS}};

}  // namespace

Result<Request> parse_request(std::string_view line) {
    return json::read_record(line, REQUEST_SCHEMA);
}

}  // namespace velkaron
