// CSV text of values, as every jetdb subcommand prints rows: text in double quotes ("" inside),
// dates YYYY-MM-DD HH:MM:SS, currency with four decimals, Yes/No as 1/0, binary as hex, null as
// an empty field. Header names are quoted only when CSV needs it.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>

#include "jet/value.h"

namespace jetdb_csv {

inline std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// A header name is written plain unless it holds something CSV must quote.
inline std::string headerName(const std::string& name) {
    return name.find_first_of(",\"\r\n") == std::string::npos ? name : quoted(name);
}

template <typename F>
inline std::string shortest(F value) {
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

inline std::string currencyText(int64_t units) {
    bool negative = units < 0;
    uint64_t magnitude = negative ? uint64_t(0) - uint64_t(units) : uint64_t(units);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return buf;
}

inline std::string hexText(const jet::Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

struct CsvField {
    std::string operator()(std::monostate) const { return ""; }
    std::string operator()(bool v) const { return v ? "1" : "0"; }
    std::string operator()(uint8_t v) const { return std::to_string(v); }
    std::string operator()(int16_t v) const { return std::to_string(v); }
    std::string operator()(int32_t v) const { return std::to_string(v); }
    std::string operator()(jet::Currency v) const { return currencyText(v.units); }
    std::string operator()(float v) const { return shortest(v); }
    std::string operator()(double v) const { return shortest(v); }
    std::string operator()(jet::DateTime v) const { return v.toString(); }
    std::string operator()(const std::string& v) const { return quoted(v); }
    std::string operator()(const jet::Bytes& v) const { return hexText(v); }
    std::string operator()(const jet::Guid& v) const { return v.toString(); }
    std::string operator()(const jet::Decimal& v) const { return v.toString(); }
};

inline std::string field(const jet::Value& value) {
    return std::visit(CsvField{}, value.storage());
}

}  // namespace jetdb_csv
