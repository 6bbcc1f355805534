#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velkaron::bench {

// A program started with pipes on its standard input and output, spoken to like a client
// speaks to the host: lines out, lines back, every read blocking.
class Child {
  public:
    Child(const std::string& program, const std::vector<std::string>& args);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Writes all of `bytes`. Safe to call from one thread while another reads lines.
    void send(std::string_view bytes);
    // The next output line without its line feed, valid until the next call; throws when the
    // output ends first.
    [[nodiscard]] std::string_view read_line();
    // Peak resident set size so far (VmHWM), in KiB.
    [[nodiscard]] long peak_rss_kib() const;
    // Closes the child's input, waits for it and gives its exit status.
    int finish();

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::vector<char> buffer_;
    std::size_t start_ = 0;  // first unread byte of buffer_
    std::size_t end_ = 0;    // one past the last byte read into buffer_
    bool finished_ = false;
};

}  // namespace velkaron::bench
