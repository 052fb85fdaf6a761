// Files of the programs outside the engine's own (settings, text files, temporary folders), on
// every system. Paths come in as std::filesystem::path (see jet/path_text.h for strings).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace jet {

// fopen(path, "rb") for any path the system can name (Windows: UTF-16 names).
std::FILE* openForReading(const std::filesystem::path& path);
// Writes `bytes` exactly (binary) to a new file beside `path`, makes it durable, then puts it in
// place of `path` in one step: a crash leaves the old file or the whole new one. Returns an
// empty text on success, else what went wrong. The replacement keeps the old file's permissions.
std::string replaceFileContents(const std::filesystem::path& path, const std::string& bytes);
// Puts the file `from` in place of `to` in one step (a file of that name is replaced; no moment
// passes without one). Both must be in one folder. Returns an empty text on success, else what
// went wrong.
std::string moveFileOver(const std::filesystem::path& from, const std::filesystem::path& to);
// A new, empty folder in the system's temporary folder, named from `prefix`. Throws
// std::runtime_error when none can be made.
std::filesystem::path makeTemporaryFolder(const std::string& prefix);

}  // namespace jet
