#include "report/console_error_report.h"

#include <iostream>
#include <memory>

namespace report {

namespace {

// Continuation lines of a value that spans lines are indented under its first line.
std::string indented(const std::string& text, const std::string& indent) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += '\n';
            out += indent;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

ConsoleErrorReport::ConsoleErrorReport(std::ostream& out) : out_(out) {}

void ConsoleErrorReport::report() {
    const std::string indent(15, ' ');
    out_ << "Error report from " << owner_ << '\n'
         << "  Number:      " << number_ << '\n'
         << "  Description: " << indented(description_, indent) << '\n'
         << "  Source:      " << indented(source_, indent) << '\n'
         << "  Context:     " << indented(context_, indent) << '\n';
    out_.flush();
}

void registerConsoleErrorReport() {
    registerComponent(kErrorReportClassId,
                      [] { return std::make_unique<ConsoleErrorReport>(std::cerr); });
}

}  // namespace report
