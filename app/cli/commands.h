// The subcommands of veltra-transfer. Each takes the words after its name and returns the exit
// status: 0 done, 1 a transfer line failed, 2 usage or file errors. Usage mistakes are thrown as
// UsageError; file problems as std::runtime_error naming the file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace cli {

// `programFolder`: where Import.INI and errors.log live unless told otherwise.
int runTransfer(const std::vector<std::string>& args, const std::filesystem::path& programFolder);
int runSample(const std::vector<std::string>& args, const std::filesystem::path& programFolder);
int runUndo(const std::vector<std::string>& args);
int runHistory(const std::vector<std::string>& args);

extern const char* const kTransferHelp;
extern const char* const kUndoHelp;
extern const char* const kHistoryHelp;
extern const char* const kSampleHelp;

}  // namespace cli
