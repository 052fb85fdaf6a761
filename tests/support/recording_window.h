// Test doubles for the window and the error report component.
//
// RecordingWindow is a MainWindowPort that keeps field texts a test sets, and records, in one
// ordered log, every label caption, mouse pointer change, message box and yield that the logic
// makes; hooks let a test act during a yield or a message box (a second click, a changed year).
// RecordingErrorReports registers an error report component that keeps every report it gets;
// it removes its factory when destroyed.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "form/main_window_port.h"
#include "report/report_error.h"

namespace testing_support {

class RecordingWindow : public form::MainWindowPort {
  public:
    struct Message {
        std::string prompt;
        int style;
        std::string title;
    };

    std::string fieldText(form::Field field) const override {
        auto it = fields.find(field);
        return it == fields.end() ? std::string() : it->second;
    }
    void setFieldText(form::Field field, const std::string& text) override {
        fields[field] = text;
        if (onFieldChanged) onFieldChanged(field);
    }
    std::string labelCaption(form::Label label) const override {
        auto it = labels.find(label);
        return it == labels.end() ? std::string() : it->second;
    }
    void setLabelCaption(form::Label label, const std::string& caption) override {
        labels[label] = caption;
        log.push_back(labelName(label) + ": " + caption);
    }
    void setMousePointer(int pointer) override {
        mousePointer = pointer;
        log.push_back("pointer " + std::to_string(pointer));
    }
    void messageBox(const std::string& prompt, int style, const std::string& title) override {
        messages.push_back({prompt, style, title});
        log.push_back("message " + std::to_string(style) + " " + title + ": " + prompt);
        if (onMessageBox) onMessageBox(messages.back());
    }
    void yield() override {
        ++yields;
        log.push_back("yield");
        if (onYield) onYield();
    }
    int currentTab() const override { return tab; }
    void setCurrentTab(int t) override { tab = t; }

    static std::string labelName(form::Label label) {
        switch (label) {
            case form::Label::ProcessStatus:
                return "lblProcessStatus";
            case form::Label::RecordCount:
                return "lblRecordCount";
            case form::Label::UseTime:
                return "lblUseTime";
        }
        return "?";
    }

    // Log entries that start with `prefix` ("lblProcessStatus", "message", "pointer").
    std::vector<std::string> logOf(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& entry : log) {
            if (entry.rfind(prefix, 0) == 0) out.push_back(entry);
        }
        return out;
    }

    std::map<form::Field, std::string> fields;
    std::map<form::Label, std::string> labels;
    std::vector<std::string> log;
    std::vector<Message> messages;
    int mousePointer = form::kPointerDefault;
    int yields = 0;
    int tab = 0;
    std::function<void()> onYield;
    std::function<void(const Message&)> onMessageBox;
    std::function<void(form::Field)> onFieldChanged;
};

class RecordingErrorReports {
  public:
    struct Report {
        int32_t number = 0;
        std::string description, source, owner, context;
    };

    RecordingErrorReports() {
        auto reports = reports_;
        report::registerComponent(report::kErrorReportClassId,
                                  [reports] { return std::make_unique<Component>(reports); });
    }
    ~RecordingErrorReports() { report::registerComponent(report::kErrorReportClassId, nullptr); }
    RecordingErrorReports(const RecordingErrorReports&) = delete;
    RecordingErrorReports& operator=(const RecordingErrorReports&) = delete;

    const std::vector<Report>& reports() const { return *reports_; }
    std::vector<std::string> contexts() const {
        std::vector<std::string> out;
        for (const auto& r : *reports_) out.push_back(r.context);
        return out;
    }
    void clear() { reports_->clear(); }

  private:
    class Component : public report::ErrorReportComponent {
      public:
        explicit Component(std::shared_ptr<std::vector<Report>> sink) : sink_(std::move(sink)) {}
        void setErrorNumber(int32_t number) override { current_.number = number; }
        void setErrorDescription(const std::string& d) override { current_.description = d; }
        void setErrorSource(const std::string& s) override { current_.source = s; }
        void setOwnerName(const std::string& o) override { current_.owner = o; }
        void setContext(const std::string& c) override { current_.context = c; }
        void report() override { sink_->push_back(current_); }

      private:
        std::shared_ptr<std::vector<Report>> sink_;
        Report current_;
    };

    std::shared_ptr<std::vector<Report>> reports_ = std::make_shared<std::vector<Report>>();
};

}  // namespace testing_support
