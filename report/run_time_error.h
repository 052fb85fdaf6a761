// RunTimeError: the "current run-time error" of the program.
//
// Every error that reaches one of the program's error handlers travels as this exception: a
// number, a description and a source, as the error report component receives them. Lower layers
// (the data layer, the importers) throw it; handlers catch it and call ReportError.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace report {

class RunTimeError : public std::runtime_error {
  public:
    RunTimeError(int32_t number, std::string description, std::string source)
        : std::runtime_error(description),
          number_(number),
          description_(std::move(description)),
          source_(std::move(source)) {}

    int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    const std::string& source() const noexcept { return source_; }

  private:
    int32_t number_;
    std::string description_;
    std::string source_;
};

// Numbers of the program's own run-time errors (those the platform's language raises).
namespace errnum {
constexpr int32_t kOverflow = 6;
constexpr int32_t kSubscriptOutOfRange = 9;
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kFileNotFound = 53;
constexpr int32_t kBadFileNameOrNumber = 52;
constexpr int32_t kInvalidProcedureCall = 5;
}  // namespace errnum

}  // namespace report
