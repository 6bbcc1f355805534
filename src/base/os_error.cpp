#include "base/os_error.hpp"

#include <cstring>

#include "base/wire_texts.hpp"

namespace velkaron {

std::string os_error(int error_number) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(error_number, buffer, sizeof buffer);
    return std::string(text)
        .append(wire::OS_ERROR_NUMBER)
        .append(std::to_string(error_number))
        .append(wire::OS_ERROR_END);
}

}  // namespace velkaron
