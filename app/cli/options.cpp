#include "options.h"

#include <cerrno>
#include <cstdlib>

namespace cli {

std::optional<std::string> ParsedOptions::value(const std::string& name) const {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

ParsedOptions parseOptions(const std::vector<std::string>& args,
                           const std::set<std::string>& valued,
                           const std::set<std::string>& flags) {
    ParsedOptions parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "-h") arg = "--help";
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0 || arg == "--") {
            parsed.positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const size_t equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            inlineValue = arg.substr(equals + 1);
        }
        if (valued.count(name)) {
            std::string value;
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                throw UsageError("option " + name + " needs a value");
            }
            if (!parsed.values.emplace(name, value).second) {
                throw UsageError("option " + name + " is given twice");
            }
        } else if (flags.count(name) && !inlineValue) {
            parsed.flags.insert(name);
        } else if (flags.count(name)) {
            throw UsageError("option " + name + " takes no value");
        } else {
            throw UsageError("unknown option " + name);
        }
    }
    return parsed;
}

long parseNumber(const std::string& option, const std::string& text, long low, long high) {
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || number < low || number > high) {
        throw UsageError("option " + option + " needs a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ", not '" + text + "'");
    }
    return number;
}

}  // namespace cli
