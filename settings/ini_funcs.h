// Module INIFuncs: one value of a private-profile settings file, read or written.
//
// The file has the Windows private-profile layout: "[Section]" lines open sections, "key=value"
// lines hold values. Both functions behave as the Windows profile functions do where a user can
// see it: section and key names match case-insensitively, the first matching section and key
// win, blanks around names and values are ignored on reading and one pair of enclosing quotes is
// removed, and a write keeps every other line (comments, unknown sections and keys) as it was.
// The file's text is in the Thai single-byte code page (Windows-874); the functions take and
// return UTF-8.
#pragma once

#include <string>

namespace settings {

// The value of `key` in `section` of `file`, or `defaultValue` when the file, the section or
// the key is absent or the file cannot be read. The text returned is cut to 254 characters, as
// the window's 255-character buffer cuts it. An unexpected internal failure yields "".
std::string ReadINI(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue);

// Stores `value` as `key` in `section` of `file`, creating the file, the section or the key when
// absent and replacing an existing value in place. Each carriage return and line feed of the
// value becomes a blank. The file is replaced whole (temporary file beside it, then renamed), so
// it is never left half-written. Never fails visibly: a file that cannot be written is noted in
// the error log (report::appendToErrorLog) and otherwise ignored.
void WriteINI(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value);

}  // namespace settings
