// Public: part of the engine's interface to the programs built on it.
// Undo images: taking back a run of commits as a whole, long after they were made.
//
// While an UndoCapture lives, every commit of its database hands it the journal it wrote; the
// capture keeps the first original of every page, so that it holds each page as it was before
// the capture began. finish() adds the fingerprint of the file as the commits left it (its page
// count and a digest of every page) and returns the lot as one undo image, a byte string the
// program keeps wherever it likes.
//
// applyUndo() puts the image's originals back, only when the file is still exactly as the
// commits left it: a single page changed since (by hand, by another program, a compact, a
// restored backup) and it refuses, naming what differs, and writes nothing. The undo is a
// commit like any other, crash-safe through the journal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace jet {

class Database;
class Pager;

class UndoCapture {
  public:
    // Starts capturing the commits of `database` (one capture per database at a time).
    explicit UndoCapture(Database& database);
    ~UndoCapture();
    UndoCapture(const UndoCapture&) = delete;
    UndoCapture& operator=(const UndoCapture&) = delete;

    // Whether any commit reached the file since the capture began.
    bool changed() const;
    // Stops capturing and hands the undo image to `write`, piece by piece in order. The
    // fingerprint takes the digests of the pages the commits wrote from their journals; the
    // others were digested on a second thread while the capture ran. REQUIRES: no transaction open.
    // Throws jet::Error when the file cannot be read, and whatever `write` throws.
    using ImageWriter = std::function<void(const uint8_t* data, size_t size)>;
    void finish(const ImageWriter& write);
    // The same, as one byte string.
    std::vector<uint8_t> finish();

    struct State;

  private:
    class StartDigests;

    std::shared_ptr<Pager> pager_;
    std::shared_ptr<State> state_;
    std::unique_ptr<StartDigests> startDigests_;
};

struct UndoResult {
    enum class Outcome {
        Undone,         // the file is back as it was before the captured commits
        AlreadyUndone,  // it already was (an undo whose bookkeeping was interrupted)
        Refused,        // the file is not as the commits left it: nothing was written
    };
    Outcome outcome = Outcome::Refused;
    std::string difference;  // for Refused: what differs, for a person
};

// What differs between the database file and the state the image's commits left it in; empty
// when nothing does. Opens the file for reading only.
std::string undoDifference(const std::filesystem::path& database,
                           const std::vector<uint8_t>& image);

// Undoes the image's commits on the database (opened for writing: see Database::open). Tables
// already read through a Database of this file in this process do not see the undo: close
// them first.
// Throws jet::Error (Corrupt) for an image that is not whole, and for I/O failures.
UndoResult applyUndo(const std::filesystem::path& database, const std::vector<uint8_t>& image);

// SHA-256 of `size` bytes as 64 lowercase hex digits.
std::string sha256Hex(const uint8_t* data, size_t size);
// The same of a file's contents, read a piece at a time. Throws jet::Error when it cannot be read.
std::string sha256HexOfFile(const std::filesystem::path& path);

}  // namespace jet
