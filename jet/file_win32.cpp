// The engine's files on Windows: CreateFileW handles, overlapped offsets, LockFileEx.
//
// Share modes. A file opened for reading lets everyone in. A file opened for writing lets others
// read but not write: while this program writes a database, another program (the desktop
// database product included) cannot open it for writing, and while that program holds it open
// for writing, the open here fails with a sharing violation, reported as InUse before anything
// is written. Delete sharing is always granted so that journals and lock files can be removed
// while open, as on POSIX.
//
// Windows locks are mandatory: a lock over pages would stop every other reader. The lock lies
// past any page a Jet file can have, where nobody reads.
#include "jet/windows_error.h"  // first: windows.h

#include <algorithm>
#include <string>

#include "jet/error.h"
#include "jet/file.h"
#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kLockOffset = uint64_t(1) << 40;

HANDLE handleOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

[[noreturn]] void throwIo(const fs::path& path, const char* what, DWORD code) {
    throw Error(ErrorCode::Io,
                "'" + utf8FromPath(path) + "': " + what + ": " + windowsErrorText(code));
}

OVERLAPPED at(uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = DWORD(offset);
    o.OffsetHigh = DWORD(offset >> 32);
    return o;
}

// Paths past MAX_PATH work when given in their long form.
std::wstring systemPath(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) full = path;
    std::wstring text = full.make_preferred().wstring();
    if (text.size() < MAX_PATH - 12 || text.rfind(L"\\\\?\\", 0) == 0) return path.wstring();
    if (text.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + text.substr(2);
    return L"\\\\?\\" + text;
}

}  // namespace

File::operator bool() const {
    return handle_ != -1;
}

void File::close() {
    if (handle_ != -1) CloseHandle(handleOf(handle_));
    handle_ = -1;
}

File File::open(const fs::path& path, FileMode mode, OpenFailure& failure, std::string& message) {
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    DWORD disposition = OPEN_EXISTING;
    if (mode != FileMode::Read) {
        access |= GENERIC_WRITE;
        share = FILE_SHARE_READ | FILE_SHARE_DELETE;
        if (mode == FileMode::CreateNew) disposition = CREATE_NEW;
        // Journals and lock files: removed by this handle when done (removeWhileOpen).
        if (mode == FileMode::OpenAlways) {
            disposition = OPEN_ALWAYS;
            access |= DELETE;
        }
    }
    File file;
    const std::wstring name = systemPath(path);
    HANDLE h = CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        switch (code) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_BAD_NETPATH:
            case ERROR_BAD_NET_NAME:
                failure = OpenFailure::NotFound;
                break;
            case ERROR_FILE_EXISTS:
            case ERROR_ALREADY_EXISTS:
                failure = OpenFailure::Exists;
                break;
            case ERROR_SHARING_VIOLATION:
            case ERROR_LOCK_VIOLATION:
                failure = OpenFailure::InUse;
                break;
            case ERROR_ACCESS_DENIED:
            case ERROR_WRITE_PROTECT: {
                DWORD attributes = GetFileAttributesW(name.c_str());
                failure =
                    attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                        ? OpenFailure::Folder
                        : OpenFailure::Denied;
                break;
            }
            default:
                failure = OpenFailure::Other;
                break;
        }
        message = windowsErrorText(code);
        return file;
    }
    file.path_ = path;
    file.handle_ = reinterpret_cast<intptr_t>(h);
    return file;
}

void File::fail(const char* what) const {
    throwIo(path_, what, GetLastError());
}

void File::readAt(uint8_t* out, size_t size, uint64_t offset) const {
    size_t done = 0;
    while (done < size) {
        OVERLAPPED o = at(offset + done);
        DWORD want = DWORD(std::min<size_t>(size - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(handleOf(handle_), out + done, want, &got, &o)) {
            if (GetLastError() != ERROR_HANDLE_EOF) fail("cannot read");
            got = 0;
        }
        if (got == 0) {
            throw Error(ErrorCode::Corrupt,
                        "'" + utf8FromPath(path_) + "': the file ends in the middle of a page");
        }
        done += got;
    }
}

void File::writeAt(const uint8_t* data, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        OVERLAPPED o = at(offset + done);
        DWORD want = DWORD(std::min<size_t>(size - done, 1u << 30));
        DWORD put = 0;
        if (!WriteFile(handleOf(handle_), data + done, want, &put, &o)) fail("cannot write");
        done += put;
    }
}

// Windows has no positioned gather write for ordinary (buffered) handles: the blocks are joined
// into one buffer and written with one call.
void File::writeAt(const std::vector<const uint8_t*>& blocks, size_t blockSize, uint64_t offset) {
    std::vector<uint8_t> joined(blocks.size() * blockSize);
    for (size_t i = 0; i < blocks.size(); ++i)
        std::copy(blocks[i], blocks[i] + blockSize, joined.begin() + i * blockSize);
    writeAt(joined.data(), joined.size(), offset);
}

void File::sync() {
    if (!FlushFileBuffers(handleOf(handle_))) fail("cannot sync");
}

void File::syncData() {
    sync();
}

void File::truncate(uint64_t size) {
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = LONGLONG(size);
    if (!SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &info, sizeof info)) {
        fail("cannot set the file's length");
    }
}

uint64_t File::size() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handleOf(handle_), &size)) fail("cannot examine");
    return uint64_t(size.QuadPart);
}

bool File::isFolder() const {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handleOf(handle_), &info)) fail("cannot examine");
    return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
}

bool File::tryLock() {
    OVERLAPPED o = at(kLockOffset);
    if (LockFileEx(handleOf(handle_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &o)) {
        return true;
    }
    DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return false;
    throwIo(path_, "cannot lock", code);
}

FileId File::identity() const {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handleOf(handle_), &info)) fail("cannot examine");
    return FileId{info.dwVolumeSerialNumber,
                  uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
}

void File::removeWhileOpen() {
    // POSIX semantics take the name away at once (Windows 10 1709 and later); older systems
    // and some file systems only mark it, and it goes when the last handle closes.
    // FILE_DISPOSITION_INFO_EX and its class (21), which older SDK headers lack.
    struct {
        ULONG Flags;
    } ex{0x1 /* DELETE */ | 0x2 /* POSIX_SEMANTICS */};
    if (SetFileInformationByHandle(handleOf(handle_), FILE_INFO_BY_HANDLE_CLASS(21), &ex,
                                   sizeof ex)) {
        return;
    }
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    if (!SetFileInformationByHandle(handleOf(handle_), FileDispositionInfo, &info, sizeof info)) {
        fail("cannot remove");
    }
}

std::optional<FileId> identityOfPath(const fs::path&) {
    return std::nullopt;  // st_ino is 0 here: a file's identity needs a handle
}

void removeFile(const fs::path& path, const char* what) {
    const std::wstring name = systemPath(path);
    if (DeleteFileW(name.c_str())) return;
    DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return;
    throwIo(path, what, code);
}

// NTFS makes metadata durable with the file's own flush; folders cannot be flushed here.
void syncFolder(const fs::path&) {}

bool markedReadOnly(const fs::path& path) {
    DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    return attributes & FILE_ATTRIBUTE_READONLY;
}

uint64_t currentProcessId() {
    return GetCurrentProcessId();
}

std::string computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size)) return {};
    return utf8FromPath(fs::path(std::wstring(name, size)));
}

}  // namespace jet
