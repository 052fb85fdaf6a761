#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/file_system.h"
#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

std::FILE* openForReading(const fs::path& path) {
    return std::fopen(path.c_str(), "rb");
}

std::string replaceFileContents(const fs::path& path, const std::string& bytes) {
    fs::path temp = path;
    temp += ".tmp" + std::to_string(::getpid());
    auto fail = [&](const std::string& what) {
        const std::string reason = std::strerror(errno);
        std::error_code ignored;
        fs::remove(temp, ignored);
        return what + " " + utf8FromPath(temp) + ": " + reason;
    };
    std::error_code statError;
    const auto status = fs::status(path, statError);
    const mode_t mode =
        fs::exists(status) ? static_cast<mode_t>(status.permissions() & fs::perms::all) : 0644;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return fail("cannot create");
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            return fail("cannot write");
        }
        done += static_cast<size_t>(n);
    }
    // On disk before the rename, so that a crash leaves the old file or the whole new one.
    if (::fsync(fd) != 0) {
        ::close(fd);
        return fail("cannot write");
    }
    if (::close(fd) != 0) return fail("cannot write");
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::error_code ignored;
        fs::remove(temp, ignored);
        return "cannot replace it: " + reason;
    }
    return {};
}

std::string moveFileOver(const fs::path& from, const fs::path& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return std::strerror(errno);
    // The new name durable too: a crash must not bring the old file back under it.
    const int folder = ::open(to.has_parent_path() ? to.parent_path().c_str() : ".",
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return {};
}

}  // namespace jet
