// The engine's files: the one place that calls the operating system for a database, its journal
// or its lock file. The pager (and the journal code) use it; nothing else in the engine does.
//
// A File is the one handle to an open file: moving it hands the handle on, destroying it closes
// it. Each system has its own implementation (file_posix.cpp, file_win32.cpp); they agree on:
//   - readers and writers share a file; a writer keeps other writers out only through tryLock()
//     (and, on Windows, through share modes: while a File is open for writing, nobody else may
//     open the file for writing, and a file someone else holds open for writing cannot be opened
//     for writing here);
//   - the lock covers a byte range past any page, so it never stops anyone reading pages;
//   - a file may be removed while it is open (its name goes at once where the system allows).
// Errors throw jet::Error (Io, or Corrupt for a file that ends early), naming the file.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace jet {

// Which file an open handle refers to, whatever path spelt it.
struct FileId {
    uint64_t device = 0;
    uint64_t file = 0;
    friend auto operator<=>(const FileId&, const FileId&) = default;
};

enum class FileMode {
    Read,       // existing file, read only
    ReadWrite,  // existing file
    CreateNew,  // a new file, read and write; fails when the name exists
    OpenAlways  // read and write; created when missing
};

// Why File::open failed.
enum class OpenFailure {
    NotFound,  // no such file
    Exists,    // CreateNew, and the name is taken
    Denied,    // permissions, a read-only file, or a read-only file system
    InUse,     // another program holds the file open in a way that excludes this open
    Folder,    // the name is a folder
    Other
};

class File {
  public:
    File() = default;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // The open file, or a closed File with `failure` and the system's `message` set.
    static File open(const std::filesystem::path& path, FileMode mode, OpenFailure& failure,
                     std::string& message);
    // The open file; any failure throws Io naming the file and `what` ("cannot open the journal").
    static File open(const std::filesystem::path& path, FileMode mode, const char* what);

    explicit operator bool() const;
    const std::filesystem::path& path() const { return path_; }
    void close();

    // Reads exactly `size` bytes; Corrupt when the file ends first.
    void readAt(uint8_t* out, size_t size, uint64_t offset) const;
    void writeAt(const uint8_t* data, size_t size, uint64_t offset);
    // Writes blocks of `blockSize` bytes that follow each other in the file, with one call where
    // the system has one.
    void writeAt(const std::vector<const uint8_t*>& blocks, size_t blockSize, uint64_t offset);
    void sync();
    // Makes the contents durable; the size too only where it is needed to reach them.
    void syncData();
    void truncate(uint64_t size);
    uint64_t size() const;
    bool isFolder() const;
    // An exclusive lock held until the file closes. False when another open file holds it.
    bool tryLock();
    FileId identity() const;
    // Removes the file's name while this handle stays open (the handle goes on working).
    void removeWhileOpen();

  private:
    [[noreturn]] void fail(const char* what) const;

    std::filesystem::path path_;
    intptr_t handle_ = -1;  // a descriptor or a HANDLE; -1 when closed
};

// The identity of the file `path` names, learnt without opening it where the system can tell
// (nothing where it cannot, as on Windows, or when the path names nothing).
std::optional<FileId> identityOfPath(const std::filesystem::path& path);

// Removes a file by name, open elsewhere or not; a missing file is no error. Throws Io.
void removeFile(const std::filesystem::path& path, const char* what);
// Makes the creation or removal of a file in the folder of `file` durable (where the system
// needs it; best effort).
void syncFolder(const std::filesystem::path& file);
// True when the file system marks the file read-only for this user, even where the system would
// let this user write anyway. Windows marks folders read-only for other reasons: false there.
bool markedReadOnly(const std::filesystem::path& path);
// The process, so a child process (fork) never shares its parent's open files by mistake.
uint64_t currentProcessId();
// This computer's name, for the lock file.
std::string computerName();

}  // namespace jet
