#include "protocol/line_reader.hpp"

namespace velkaron {

std::string_view strip_line_ending(std::string_view line) noexcept {
    if (line.ends_with('\n')) {
        line.remove_suffix(1);
        if (line.ends_with('\r')) line.remove_suffix(1);
    }
    return line;
}

}  // namespace velkaron
