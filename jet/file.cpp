// What the engine's files do the same way on every system (see file.h; the rest is in
// file_posix.cpp and file_win32.cpp).
#include "jet/file.h"

#include "jet/error.h"
#include "jet/path_text.h"

namespace jet {

File::File(File&& other) noexcept : path_(std::move(other.path_)), handle_(other.handle_) {
    other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        path_ = std::move(other.path_);
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

File::~File() {
    close();
}

File File::open(const std::filesystem::path& path, FileMode mode, const char* what) {
    OpenFailure failure;
    std::string message;
    File file = open(path, mode, failure, message);
    if (!file) throw Error(ErrorCode::Io, "'" + utf8FromPath(path) + "': " + what + ": " + message);
    return file;
}

}  // namespace jet
