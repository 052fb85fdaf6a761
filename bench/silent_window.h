// A main window nobody sees, for benchmarks that run transfers as the window's buttons do:
// keeps its fields, remembers the last message, yields for free.
#pragma once

#include <map>
#include <string>

#include "app/logic/transfer_command.h"
#include "data_sources/data_sources.h"

namespace bench {

class SilentWindow : public form::MainWindowPort {
  public:
    form::Form* form = nullptr;
    std::string lastMessage;
    int messages = 0;

    std::string fieldText(form::Field field) const override {
        auto it = fields_.find(field);
        return it == fields_.end() ? std::string() : it->second;
    }
    void setFieldText(form::Field field, const std::string& text) override {
        fields_[field] = text;
        if (form && field == form::Field::TextFile) data_sources::txtDir_Change(*form, 0);
        if (form && field == form::Field::Database) data_sources::txtDir_Change(*form, 1);
    }
    std::string labelCaption(form::Label label) const override {
        auto it = labels_.find(label);
        return it == labels_.end() ? std::string() : it->second;
    }
    void setLabelCaption(form::Label label, const std::string& caption) override {
        labels_[label] = caption;
    }
    void setMousePointer(int) override {}
    void messageBox(const std::string& prompt, int, const std::string&) override {
        lastMessage = prompt;
        ++messages;
    }
    void yield() override {}
    int currentTab() const override { return tab_; }
    void setCurrentTab(int tab) override { tab_ = tab; }

  private:
    std::map<form::Field, std::string> fields_;
    std::map<form::Label, std::string> labels_;
    int tab_ = 0;
};

}  // namespace bench
