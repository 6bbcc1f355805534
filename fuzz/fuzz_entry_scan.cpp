// The entry scanner against the general reader. Arbitrary bytes, and the plaintext write_entry
// makes of an entry built from them, go through read_entry_into (scanner first) and through
// read_entry alone: both must succeed or fail alike, with the same Entry or the same message.
// Whatever the scanner accepts must read the same with read_entry, and the writer's own output
// must always be accepted by the scanner, or the fast path would quietly never be taken.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "entries/entry.hpp"
#include "entries/entry_scan.hpp"

namespace {

using velkaron::Entry;

// `reused` comes in holding another entry's texts, as in a walk over a vault.
void check(std::string_view plaintext, Entry& reused) {
    const auto judged = velkaron::read_entry(plaintext);
    const auto read = velkaron::read_entry_into(plaintext, reused);
    if (read.has_value() != judged.has_value()) std::abort();
    if (!read) {
        if (read.error() != judged.error()) std::abort();
        return;
    }
    if (reused != *judged) std::abort();
    Entry scanned;
    if (velkaron::scan_entry(plaintext, scanned) && scanned != *judged) std::abort();
}

Entry entry_from(FuzzedDataProvider& input) {
    Entry entry;
    entry.host = input.ConsumeRandomLengthString(64);
    entry.username = input.ConsumeRandomLengthString(64);
    entry.password = input.ConsumeRandomLengthString(64);
    entry.title = input.ConsumeRandomLengthString(64);
    entry.created_at = input.ConsumeIntegral<std::uint64_t>();
    entry.updated_at = input.ConsumeIntegral<std::uint64_t>();
    return entry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Entry reused;
    reused.host = "a host left from the entry before";
    reused.title = "a title left from the entry before";
    check({reinterpret_cast<const char*>(data), size}, reused);

    FuzzedDataProvider input(data, size);
    const Entry made = entry_from(input);
    const auto written = velkaron::write_entry(made);
    if (!written) return 0;  // a text that is not UTF-8
    Entry scanned;
    if (!velkaron::scan_entry(written->view(), scanned) || scanned != made) std::abort();
    check(written->view(), reused);
    return 0;
}
