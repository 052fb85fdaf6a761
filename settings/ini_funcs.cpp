#include "settings/ini_funcs.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "jet/file_system.h"
#include "jet/path_text.h"
#include "report/report_error.h"
#include "text/windows874.h"

namespace settings {

namespace {

// The window reads through a 255-character buffer; one place holds the terminating zero.
constexpr size_t kMaxValueChars = 254;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Case-insensitive for the Latin letters only: Thai has no case.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// One line of the file as stored (without its line end), with what it means.
struct Line {
    enum class Kind { Other, Section, Value };
    std::string text;
    std::string ending;  // "\r\n", "\n", "\r" or "" for a last line without one
    Kind kind = Kind::Other;
    std::string name;  // section or key name
};

// A line the write adds; its meaning no longer matters once added.
Line addedLine(std::string text) {
    Line line;
    line.text = std::move(text);
    line.ending = "\r\n";
    return line;
}

std::vector<Line> splitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        Line line;
        if (end == std::string::npos) {
            line.text = bytes.substr(start);
            start = bytes.size();
        } else {
            line.text = bytes.substr(start, end - start);
            const bool crlf =
                bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n';
            line.ending = crlf ? "\r\n" : std::string(1, bytes[end]);
            start = end + line.ending.size();
        }
        lines.push_back(std::move(line));
    }
    for (Line& line : lines) {
        const std::string_view text = trimmed(line.text);
        if (text.empty() || text.front() == ';') continue;
        if (text.front() == '[') {
            std::string_view name = text.substr(1);
            const size_t close = name.find(']');
            if (close != std::string_view::npos) name = name.substr(0, close);
            line.kind = Line::Kind::Section;
            line.name = std::string(trimmed(name));
            continue;
        }
        const size_t equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        line.kind = Line::Kind::Value;
        line.name = std::string(trimmed(text.substr(0, equals)));
    }
    return lines;
}

// The value part of a "key=value" line: blanks trimmed, one pair of enclosing quotes removed.
std::string valueOf(const Line& line) {
    std::string_view text = trimmed(line.text);
    text = trimmed(text.substr(text.find('=') + 1));
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return std::string(text);
}

// Index of the first line of the first section named `section`, or nullopt.
std::optional<size_t> findSection(const std::vector<Line>& lines, std::string_view section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Line::Kind::Section && sameName(lines[i].name, section)) return i;
    }
    return std::nullopt;
}

// Reads the whole file. nullopt when it is absent or cannot be read.
std::optional<std::string> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return bytes.str();
}

std::string cutToBuffer(std::string bytes) {
    if (bytes.size() > kMaxValueChars) bytes.resize(kMaxValueChars);
    return bytes;
}

std::string readValue(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& defaultValue) {
    // The default passes through the same buffer as a stored value, with trailing blanks removed
    // as the profile functions remove them.
    std::string defaultBytes = text::utf8ToWindows874(defaultValue);
    while (!defaultBytes.empty() && isBlank(defaultBytes.back())) defaultBytes.pop_back();
    const std::string fallback = text::windows874ToUtf8(cutToBuffer(std::move(defaultBytes)));
    const std::optional<std::string> bytes = readBytes(jet::pathFromUtf8(file));
    if (!bytes) return fallback;
    const std::vector<Line> lines = splitLines(*bytes);
    const std::string sectionBytes = text::utf8ToWindows874(section);
    const std::string keyBytes = text::utf8ToWindows874(key);
    const std::optional<size_t> start = findSection(lines, trimmed(sectionBytes));
    if (!start) return fallback;
    for (size_t i = *start + 1; i < lines.size() && lines[i].kind != Line::Kind::Section; ++i) {
        if (lines[i].kind == Line::Kind::Value && sameName(lines[i].name, trimmed(keyBytes))) {
            return text::windows874ToUtf8(cutToBuffer(valueOf(lines[i])));
        }
    }
    return fallback;
}

// The new contents of the file with `key` of `section` set to `value` (all in Windows-874).
std::string withValue(const std::string& bytes, std::string_view section, std::string_view key,
                      std::string_view value) {
    std::vector<Line> lines = splitLines(bytes);
    const std::string newline = "\r\n";
    const std::optional<size_t> start = findSection(lines, section);
    if (!start) {
        if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = newline;
        lines.push_back(addedLine("[" + std::string(section) + "]"));
        lines.push_back(addedLine(std::string(key) + "=" + std::string(value)));
    } else {
        size_t end = *start + 1;
        std::optional<size_t> found;
        size_t lastContent = *start;
        for (; end < lines.size() && lines[end].kind != Line::Kind::Section; ++end) {
            if (!trimmed(lines[end].text).empty()) lastContent = end;
            if (!found && lines[end].kind == Line::Kind::Value && sameName(lines[end].name, key)) {
                found = end;
            }
        }
        if (found) {
            // The key keeps its spelling; only its value changes.
            Line& line = lines[*found];
            line.text = line.name + "=" + std::string(value);
        } else {
            // A new key follows the section's last non-blank line, before any blank lines that
            // separate it from the next section.
            Line& before = lines[lastContent];
            if (before.ending.empty()) before.ending = newline;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastContent) + 1,
                         addedLine(std::string(key) + "=" + std::string(value)));
        }
    }
    std::string out;
    for (const Line& line : lines) out += line.text + line.ending;
    return out;
}

}  // namespace

std::string ReadINI(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue) {
    try {
        return readValue(file, section, key, defaultValue);
    } catch (...) {
        return {};
    }
}

void WriteINI(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value) {
    try {
        std::string oneLine = value;
        for (char& c : oneLine) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        const std::filesystem::path path = jet::pathFromUtf8(file);
        std::string bytes;
        std::error_code error;
        if (std::filesystem::exists(path, error)) {
            std::optional<std::string> existing = readBytes(path);
            if (!existing) {
                report::appendToErrorLog("Settings file " + file +
                                         " not written: it cannot be read (" + key + ")");
                return;
            }
            bytes = std::move(*existing);
        }
        const std::string updated =
            withValue(bytes, trimmed(text::utf8ToWindows874(section)),
                      trimmed(text::utf8ToWindows874(key)), text::utf8ToWindows874(oneLine));
        const std::string problem = jet::replaceFileContents(path, updated);
        if (!problem.empty()) {
            report::appendToErrorLog("Settings file " + file + " not written (" + key +
                                     "): " + problem);
        }
    } catch (const std::exception& e) {
        report::appendToErrorLog("Settings file " + file + " not written (" + key +
                                 "): " + e.what());
    } catch (...) {
        report::appendToErrorLog("Settings file " + file + " not written (" + key + ")");
    }
}

}  // namespace settings
