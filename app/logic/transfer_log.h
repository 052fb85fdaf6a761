// The lasting result of a transfer: the Thai text the window's result panel shows, and the
// transfer log (transfers.log beside the program) that keeps one record per transfer.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "form/transfer_result.h"

namespace app {

// The result as lines of Thai text: the outcome, the counts of the kind, the time taken and,
// for a transfer that stopped on a line, that line, its column and the reason.
std::vector<std::string> resultLines(const form::TransferResult& result);
// The line, its column and the reason, in the words of a failed transfer's result.
std::vector<std::string> lineFailureLines(const form::LineFailure& failure);
// Of a transfer that stopped on a line: the line, its column and the reason; of a check, that of
// every failing line; else nothing.
std::vector<std::string> failureLines(const form::TransferResult& result);

// The box the check of a file ends with: the verdict, then the lines that cannot be transferred
// (the first few; the result panel has them all). Nothing to show when no check ran.
struct CheckFileMessage {
    bool show = false;
    std::string text;
    int style = 0;  // form::kMsgOkOnly, or form::kMsgCritical when a line fails
    std::string title;
};
CheckFileMessage checkFileMessage(const form::TransferResult& result);

// Appends the result to transfers.log in `folder` (UTF-8): a line with the date and time, the
// lines of resultLines indented, and a blank line. Writing the log never disturbs the program.
void appendTransferLog(const std::filesystem::path& folder, const form::TransferResult& result);

}  // namespace app
