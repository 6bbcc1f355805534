#include "vault/file_version.hpp"

#include <tuple>
#include <utility>

namespace velkaron {
namespace {

bool before(const timespec& a, const timespec& b) noexcept {
    return std::tie(a.tv_sec, a.tv_nsec) < std::tie(b.tv_sec, b.tv_nsec);
}

bool same_time(const timespec& a, const timespec& b) noexcept {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

FileVersion::FileVersion(UniqueFd file, const struct stat& info, std::optional<Digest> digest,
                         bool doubtful) noexcept
    : file_(std::move(file)), stamp_(stamp_of(info)), digest_(digest), doubtful_(doubtful) {}

std::optional<FileVersion> FileVersion::written(UniqueFd file) noexcept {
    struct stat info {};
    if (!file || ::fstat(file.get(), &info) != 0) return std::nullopt;
    return FileVersion(std::move(file), info, std::nullopt, false);
}

FileVersion FileVersion::read(UniqueFd file, const struct stat& info, const timespec& clock_before,
                              std::string_view bytes) noexcept {
    // Any change after the clock reading gets a change time at or after it.
    const bool doubtful = !before(info.st_ctim, clock_before);
    return FileVersion(std::move(file), info, digest_of(bytes), doubtful);
}

bool FileVersion::same_bytes(const FileVersion& other) const noexcept {
    return digest_ && other.digest_ && *digest_ == *other.digest_;
}

FileVersion::Stamp FileVersion::stamp_of(const struct stat& info) noexcept {
    return {info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool FileVersion::same_stamp(const Stamp& a, const Stamp& b) noexcept {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           same_time(a.modified, b.modified) && same_time(a.changed, b.changed);
}

FileCheck check_file(const std::string& path, const std::optional<FileVersion>& held) noexcept {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return FileCheck::missing;
    if (!held || held->doubtful_ ||
        !FileVersion::same_stamp(FileVersion::stamp_of(info), held->stamp_)) {
        return FileCheck::changed;
    }
    return FileCheck::unchanged;
}

timespec coarse_clock() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

}  // namespace velkaron
