#include "console_window.h"

#include <cstdio>

namespace cli {

namespace {

// Titles of the transfer command's refusals: nothing was opened or changed.
constexpr const char* kSeparatorTitle = "ตรวจสอบเครื่องหมายใช้คั่นข้อมูล";
constexpr const char* kMissingFileTitle = "ตรวจสอบไฟล์ที่เลือก";
constexpr const char* kCompletedTitle = "โอนข้อมูลไป VELTRA Payroll";

// Plain output shows progress every this many lines.
constexpr long kPlainProgressLines = 1000;

std::string withNewlines(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += '\n';
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string elapsedText(std::chrono::steady_clock::duration elapsed) {
    const long seconds =
        static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count());
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

}  // namespace

ConsoleWindow::ConsoleWindow(std::ostream& out, bool terminal, std::function<long()> lineCount)
    : out_(out), terminal_(terminal), lineCount_(std::move(lineCount)) {}

std::string ConsoleWindow::fieldText(form::Field field) const {
    const auto found = fields_.find(field);
    return found == fields_.end() ? std::string() : found->second;
}

void ConsoleWindow::setFieldText(form::Field field, const std::string& text) {
    if (fieldText(field) == text) return;  // a text box fires no change for its own text
    fields_[field] = text;
    if (onFieldChanged) onFieldChanged(field);
}

std::string ConsoleWindow::labelCaption(form::Label label) const {
    const auto found = labels_.find(label);
    return found == labels_.end() ? std::string() : found->second;
}

void ConsoleWindow::setLabelCaption(form::Label label, const std::string& caption) {
    labels_[label] = caption;
    if (label == form::Label::RecordCount && !caption.empty()) showProgress(false);
}

void ConsoleWindow::showProgress(bool force) {
    const auto now = std::chrono::steady_clock::now();
    const long lines = lineCount_ ? lineCount_() : 0;
    if (terminal_) {
        if (!force && now - lastShown_ < std::chrono::milliseconds(100)) return;
    } else if (!force && lines - lastPlainCount_ < kPlainProgressLines) {
        return;
    }
    lastShown_ = now;
    lastPlainCount_ = lines;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const long rate = seconds > 0 ? static_cast<long>(static_cast<double>(lines) / seconds) : 0;
    std::string status = withNewlines(labelCaption(form::Label::ProcessStatus));
    if (const size_t newline = status.find('\n'); newline != std::string::npos) {
        status.resize(newline);
    }
    const std::string line = "lines read " + std::to_string(lines) + "  " + std::to_string(rate) +
                             " lines/s  time " + elapsedText(now - start_) + "  " + status;
    if (terminal_) {
        out_ << "\r\x1b[2K" << line << std::flush;
        progressShowing_ = true;
    } else {
        out_ << line << '\n';
    }
}

void ConsoleWindow::finishProgress() {
    if (progressShowing_) {
        out_ << '\n';
        progressShowing_ = false;
    }
}

void ConsoleWindow::messageBox(const std::string& prompt, int style, const std::string& title) {
    if (progressShowing_) showProgress(true);  // the last count, not the last one drawn
    finishProgress();
    out_ << "[" << title << "] " << withNewlines(prompt) << '\n' << std::flush;
    if (title == kSeparatorTitle || title == kMissingFileTitle) {
        outcome_ = Outcome::Refused;
    } else if (style & form::kMsgCritical) {
        outcome_ = Outcome::LineFailed;
    } else if (title == kCompletedTitle) {
        outcome_ = Outcome::Completed;
    }
}

}  // namespace cli
