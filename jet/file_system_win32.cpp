#include "jet/windows_error.h"  // first: windows.h

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "jet/file_system.h"
#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

std::string lastError() {
    return windowsErrorText(GetLastError());
}

}  // namespace

// Shared like a file on POSIX: others may still write, rename or remove the file while it is
// read (fopen would refuse them all).
std::FILE* openForReading(const fs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        errno = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "rb");
    if (file == nullptr) _close(fd);
    return file;
}

std::string replaceFileContents(const fs::path& path, const std::string& bytes) {
    fs::path temp = path;
    temp += ".tmp" + std::to_string(GetCurrentProcessId());
    auto fail = [&](const std::string& what) {
        const std::string reason = lastError();
        DeleteFileW(temp.c_str());
        return what + " " + utf8FromPath(temp) + ": " + reason;
    };
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return fail("cannot create");
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const DWORD want = DWORD(std::min<size_t>(bytes.size() - done, 1u << 30));
        if (!WriteFile(h, bytes.data() + done, want, &put, nullptr) || put == 0) {
            CloseHandle(h);
            return fail("cannot write");
        }
        done += put;
    }
    if (!FlushFileBuffers(h)) {
        CloseHandle(h);
        return fail("cannot write");
    }
    CloseHandle(h);
    if (!MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const std::string reason = lastError();
        DeleteFileW(temp.c_str());
        return "cannot replace it: " + reason;
    }
    return {};
}

std::string moveFileOver(const fs::path& from, const fs::path& to) {
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return lastError();
    return {};
}

}  // namespace jet
