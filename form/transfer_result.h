// What one transfer did, counted as it went: the result both front ends show and the transfer
// log keeps.
//
// The transfer command counts the lines; each importer counts what it stored, and notes the
// layout column it is working on, so that a failed line can be told by line number, line text,
// layout row, field name and value. Counts of a line that failed are taken back with the line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace form {

// What the importers count, per line; the transfer command sums the lines that were kept.
struct TransferCounts {
    long employeesCreated = 0;
    long employeesUpdated = 0;
    long rowsDeleted = 0;
    long rowsWritten = 0;
    long amountsWritten = 0;
    long amountsDropped = 0;
};

// The layout column an importer is reading: its layout row (No), field name and text.
struct LayoutColumnNote {
    long layoutNo = 0;
    std::string fieldName;
    std::string value;
};

// A line that failed in a check of the file: where, what it held, the column and why.
struct LineFailure {
    long line = 0;
    std::string text;
    LayoutColumnNote column;
    std::string reason;  // Thai
};

enum class TransferOutcome {
    None,  // no transfer yet
    Running,
    Completed,
    LineFailed,  // an importer refused a line; the lines before it are kept
    Stopped,     // the window was closed during the run; the lines before it are kept
    Aborted,     // an unexpected error (an unreadable file, more lines than can be counted)
};

struct TransferResult {
    int kind = 0;
    TransferOutcome outcome = TransferOutcome::None;
    long linesRead = 0;
    long linesTransferred = 0;
    TransferCounts counts;
    double seconds = 0;
    // How far through the input file the transfer is, for a progress bar.
    uint64_t bytesRead = 0;
    uint64_t fileBytes = 0;

    // Of a failed or aborted transfer: the line it stopped at and why.
    long failedLine = 0;
    std::string failedText;
    LayoutColumnNote failedColumn;
    int32_t errorNumber = 0;
    std::string errorDescription;  // as the error carried it
    std::string reason;            // Thai

    // Of a check: every line that would fail, in file order; the counts are those of the lines
    // that pass.
    bool check = false;
    std::vector<LineFailure> failures;

    // Said when the transfer's undo data could not be kept (Thai); empty when it was.
    std::string undoNote;
};

}  // namespace form
