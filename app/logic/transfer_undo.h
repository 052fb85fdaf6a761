// Undoing transfers: what each transfer keeps so that it can be taken back, the history of the
// kept transfers and the undo itself, for both front ends.
//
// A transfer's undo data lives beside the database in a folder of its own, <database>.undo
// (Melvar.mdb.undo): for transfer number N, N.image (the engine's undo image: the original of
// every page the transfer changed and the file's fingerprint after it) and N.record (when, which
// kind, the text file and its SHA-256, the counts, the program's version, the user and the
// machine; "undone" once taken back). Only the last few transfers are kept (Import.INI,
// [Settings] UndoTransfers, default 5), the oldest dropped first.
//
// An undo takes back the newest transfer not yet undone, only when the database is still exactly
// as that transfer left it; undoing again walks back through the older ones.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "form/transfer_result.h"

namespace app {

constexpr int kDefaultUndoTransfers = 5;

std::filesystem::path undoFolderFor(const std::filesystem::path& database);

// The transfers to keep, from the settings in `programFolder`: 1 to 100, else the default.
int undoTransfersToKeep(const std::string& programFolder);

// Writes an undo image, piece by piece, through the function it is given.
using UndoImageSource =
    std::function<void(const std::function<void(const uint8_t* data, size_t size)>& write)>;

// Keeps the undo data of a finished transfer, its image written by `image`. Returns "" when
// kept, else a sentence (Thai) saying why it could not be (the transfer itself stands).
std::string keepTransferUndo(const std::filesystem::path& database,
                             const form::TransferResult& result, const std::string& textFile,
                             const UndoImageSource& image, int keep);

struct KeptTransfer {
    long number = 0;
    // The record's fields in the order written: when, kind, text file, ...
    std::vector<std::pair<std::string, std::string>> fields;
    std::string field(const std::string& key) const;
    bool undone() const { return !field("undone").empty(); }
    std::filesystem::path image;  // empty when the undo data is missing
};

// The kept transfers, newest first.
std::vector<KeptTransfer> transferHistory(const std::filesystem::path& database);

// The newest kept transfer not yet undone; number 0 when there is none.
KeptTransfer lastUndoableTransfer(const std::filesystem::path& database);

// Whether `transfer` can be undone now: "" when so, else why not (English, for a person).
std::string whyNotUndoable(const std::filesystem::path& database, const KeptTransfer& transfer);

// The transfer in one line: kind, text file, time and counts.
std::string describeTransfer(const KeptTransfer& transfer);

struct UndoReport {
    bool undone = false;
    std::string message;  // what happened, or why nothing did (English)
};

// Undoes the newest transfer not yet undone.
UndoReport undoLastTransfer(const std::filesystem::path& database);

}  // namespace app
