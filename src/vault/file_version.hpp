#pragma once

#include <sys/stat.h>
#include <time.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/posix.hpp"
#include "crypto/digest.hpp"

namespace velkaron {

class FileVersion;

// How the file at the vault path stands to the version a host holds.
enum class FileCheck {
    unchanged,  // the held version, unchanged
    missing,    // nothing there that stat(2) reaches
    changed,    // another file, the held one changed, or no version held
};

// The version of the vault file a host last read or wrote. Its descriptor stays open, so the
// inode cannot pass to a later file: the same device and inode always mean this very file,
// and its size and times tell whether it was changed in place.
class FileVersion {
  public:
    // The file just written and renamed through `file`. Nobody else knew it before the rename,
    // so its stat alone tells it apart; its bytes are not hashed, which would cost every save.
    [[nodiscard]] static std::optional<FileVersion> written(UniqueFd file) noexcept;

    // The file read through `file`: `info` is its stat, taken once the coarse real-time clock
    // had shown `clock_before`; `bytes` were read after that.
    [[nodiscard]] static FileVersion read(UniqueFd file, const struct stat& info,
                                          const timespec& clock_before,
                                          std::string_view bytes) noexcept;

    // True when the bytes of both are known and equal.
    [[nodiscard]] bool same_bytes(const FileVersion& other) const noexcept;

  private:
    struct Stamp {
        dev_t device;
        ino_t inode;
        off_t size;
        timespec modified;
        timespec changed;
    };

    FileVersion(UniqueFd file, const struct stat& info, std::optional<Digest> digest,
                bool doubtful) noexcept;
    [[nodiscard]] static Stamp stamp_of(const struct stat& info) noexcept;
    [[nodiscard]] static bool same_stamp(const Stamp& a, const Stamp& b) noexcept;

    friend FileCheck check_file(const std::string& path,
                                const std::optional<FileVersion>& held) noexcept;

    UniqueFd file_;
    Stamp stamp_;
    std::optional<Digest> digest_;
    // Changed within the clock tick in which it was read: a change in place during that same
    // tick could leave size and times as they were, so only the bytes can confirm it.
    bool doubtful_;
};

// One stat(2) of `path`, following links, compared with `held`.
[[nodiscard]] FileCheck check_file(const std::string& path,
                                   const std::optional<FileVersion>& held) noexcept;

// The coarse real-time clock, which the kernel also stamps file times from.
[[nodiscard]] timespec coarse_clock() noexcept;

}  // namespace velkaron
