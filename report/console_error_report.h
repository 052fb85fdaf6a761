// The error report component of the command-line program: prints each report to standard error.
//
// It receives the five values as every error report component does and writes them, one per
// line, under a heading that names the owner, so that a clerk running a script sees why a
// transfer stopped. Nothing is read back from it.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "report/report_error.h"

namespace report {

class ConsoleErrorReport : public ErrorReportComponent {
  public:
    // REQUIRES: `out` outlives the instance.
    explicit ConsoleErrorReport(std::ostream& out);

    void setErrorNumber(int32_t number) override { number_ = number; }
    void setErrorDescription(const std::string& description) override {
        description_ = description;
    }
    void setErrorSource(const std::string& source) override { source_ = source; }
    void setOwnerName(const std::string& owner) override { owner_ = owner; }
    void setContext(const std::string& context) override { context_ = context; }
    void report() override;

  private:
    std::ostream& out_;
    int32_t number_ = 0;
    std::string description_;
    std::string source_;
    std::string owner_;
    std::string context_;
};

// Registers ConsoleErrorReport, writing to standard error, under kErrorReportClassId.
void registerConsoleErrorReport();

}  // namespace report
