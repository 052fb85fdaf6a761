// Command-line options of veltra-transfer: "--name value", "--name=value" and bare flags.
//
// Parsing knows which names take a value and which are flags; anything else is a usage error
// naming the option at fault. Positional words are kept in order.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

// A mistake in how the program was called: exit status 2, message shown with the usage hint.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ParsedOptions {
    std::map<std::string, std::string> values;  // "--text" -> "file.txt"
    std::set<std::string> flags;                // "--dry-run"
    std::vector<std::string> positional;

    std::optional<std::string> value(const std::string& name) const;
    bool flag(const std::string& name) const { return flags.count(name) != 0; }
};

// REQUIRES: names in `valued` and `flags` start with "--". "-h" is read as "--help".
// Throws UsageError for an unknown option, a missing value or an option given twice.
ParsedOptions parseOptions(const std::vector<std::string>& args,
                           const std::set<std::string>& valued, const std::set<std::string>& flags);

// A whole decimal number within [low, high]; UsageError naming `option` otherwise.
long parseNumber(const std::string& option, const std::string& text, long low, long high);

}  // namespace cli
