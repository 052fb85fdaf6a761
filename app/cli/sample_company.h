// The sample company: a payroll database, its layout database and one input file per transfer
// kind, generated for a number of employees from a seed.
//
// Melvar.mdb holds [Employee Master], [Data Calc], [Data Master Detail] and [Data Variant
// Detail] filled for the first part of the employees (the rest exist only in the input files,
// so an employee transfer both creates and updates); ImportData.mdb holds the four layouts. The
// input files are in Windows-874 with CR LF line ends and exercise the transfer's rules: both
// date forms, coded fields, bank accounts, blank lines, zero, empty and negative amounts, pay
// items that exist for an employee and some that do not. The same seed and size give the same
// rows and the same input files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace cli {

inline constexpr const char* kSampleEmployeeFile = "EmployeeMaster.txt";
inline constexpr const char* kSampleDataCalcFile = "DataCalc.txt";
inline constexpr const char* kSamplePmFile = "DataMasterDetail.txt";
inline constexpr const char* kSamplePdFile = "DataVariantDetail.txt";
inline constexpr const char* kSampleSeparator = ",";
inline constexpr int kMaxSampleEmployees = 32767;

struct SampleSize {
    int employees = 200;  // 1..kMaxSampleEmployees
    uint64_t seed = 1;
    // A full load, for measuring: every employee on file, ten calculation rows and every detail
    // row for each, and input files with no blank line and every amount given.
    bool full = false;
};

struct SampleCounts {
    long employeesInDatabase = 0;
    long dataCalcRows = 0;
    long masterDetailRows = 0;
    long variantDetailRows = 0;
};

// Writes the company into `folder` (created when absent).
// REQUIRES: none of Melvar.mdb and ImportData.mdb exists in `folder` (the engine refuses to
// overwrite). Throws std::runtime_error or jet::Error naming the file at fault.
SampleCounts writeSampleCompany(const std::filesystem::path& folder, const SampleSize& size);

}  // namespace cli
