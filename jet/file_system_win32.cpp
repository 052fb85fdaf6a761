#include "jet/windows_error.h"  // first: windows.h

#include <algorithm>

#include "jet/file_system.h"
#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

std::string lastError() { return windowsErrorText(GetLastError()); }

}  // namespace

std::FILE* openForReading(const fs::path& path) { return _wfopen(path.c_str(), L"rb"); }

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

}  // namespace jet
