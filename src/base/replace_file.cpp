#include "base/replace_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/os_error.hpp"
#include "base/posix.hpp"
#include "base/wire_texts.hpp"

namespace velkaron {
namespace {

constexpr char WRITE_FAILED[] = "Schreiben fehlgeschlagen: ";
constexpr mode_t OWNER_ONLY = 0600;

int open_file(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

// False when another saver has renamed the locked file away (or replaced it) meanwhile:
// writing it then would clobber a document that may already be the vault.
Result<bool> still_named_by(int fd, const std::string& path) {
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) return fail(os_error(errno));
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) {
        if (errno == ENOENT) return false;
        return fail(os_error(errno));
    }
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Opens and locks the temporary file, starting again until the path still names what is
// locked. Never truncates: a rival saver may be writing the same inode right now.
Result<UniqueFd> open_locked(const std::string& path, const FileCalls& calls) {
    for (;;) {
        UniqueFd file(retry_on_eintr(calls.open, path.c_str(),
                                     O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                                     OWNER_ONLY));
        if (!file) return fail(os_error(errno));
        if (retry_on_eintr(calls.flock, file.get(), LOCK_EX) != 0) return fail(os_error(errno));
        VELKARON_TRY(current, still_named_by(file.get(), path));
        if (*current) return file;
    }
}

Status write_whole(int fd, std::string_view bytes, const FileCalls& calls) {
    const int error = write_all(fd, bytes, calls.write);
    if (error == WRITE_STALLED) return fail(std::string(wire::WRITE_INCOMPLETE));
    if (error != 0) return fail(os_error(error));
    return {};
}

Status write_durably(int fd, std::string_view bytes, const FileCalls& calls) {
    if (retry_on_eintr(calls.ftruncate, fd, off_t{0}) != 0) return fail(os_error(errno));
    VELKARON_TRY(written, write_whole(fd, bytes, calls));
    // EINVAL: the file system cannot flush this kind of file; there is nothing more to do.
    if (retry_on_eintr(calls.fsync, fd) != 0 && errno != EINVAL) return fail(os_error(errno));
    return {};
}

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Makes the rename itself durable. It has already happened, so a failure changes nothing.
void flush_directory(const std::string& path, const FileCalls& calls) {
    const UniqueFd directory(retry_on_eintr(calls.open, directory_of(path).c_str(),
                                            O_RDONLY | O_DIRECTORY | O_CLOEXEC, mode_t{0}));
    if (directory) static_cast<void>(retry_on_eintr(calls.fsync, directory.get()));
}

}  // namespace

const FileCalls& system_file_calls() noexcept {
    static constexpr FileCalls calls{&open_file, &::flock, &::fchmod, &::ftruncate,
                                     &::write,   &::fsync, &::rename};
    return calls;
}

Result<UniqueFd> replace_file(const std::string& target, const std::string& temporary,
                              const LockedContents& contents, const FileCalls& calls) {
    auto file = open_locked(temporary, calls);
    if (!file) return fail(WRITE_FAILED + file.error());
    // Before the first byte, so that the key material is never readable by others.
    if (retry_on_eintr(calls.fchmod, file->get(), OWNER_ONLY) != 0) {
        return fail("Rechte nicht setzbar: " + os_error(errno));
    }
    VELKARON_TRY(bytes, contents());
    if (auto written = write_durably(file->get(), *bytes, calls); !written) {
        return fail(WRITE_FAILED + written.error());
    }
    if (retry_on_eintr(calls.rename, temporary.c_str(), target.c_str()) != 0) {
        return fail("Umbenennen fehlgeschlagen: " + os_error(errno));
    }
    flush_directory(temporary, calls);
    // A rival saver may wait for this lock on the inode that is now the vault; it must get it
    // and start again on a new temporary file.
    if (retry_on_eintr(calls.flock, file->get(), LOCK_UN) != 0) file->reset();
    return file;
}

}  // namespace velkaron
