#include "support/child_process.h"

#include <cstdlib>
#include <iostream>

namespace testing_support {

// Set in the child's environment: the role, then its arguments, separated by this byte.
constexpr const char* kRoleVariable = "VELTRA_CHILD_ROLE";
constexpr char kSeparator = '\x1f';

bool registerChildRole(const char* name, ChildRole role) {
    const char* wanted = std::getenv(kRoleVariable);
    if (wanted == nullptr) return true;
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = wanted;; ++p) {
        if (*p == kSeparator || *p == '\0') {
            parts.push_back(part);
            part.clear();
            if (*p == '\0') break;
        } else {
            part += *p;
        }
    }
    if (parts.front() != name) return true;
    int status = 1;
    try {
        status = role({parts.begin() + 1, parts.end()});
    } catch (const std::exception& e) {
        std::cerr << "child role " << name << ": " << e.what() << '\n';
    }
    std::cout.flush();
    std::_Exit(status);
}

std::string childRoleValue(const std::string& role, const std::vector<std::string>& args) {
    std::string value = role;
    for (const std::string& a : args) value += kSeparator + a;
    return value;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(other.process_),
      output_(other.output_),
      ended_(other.ended_),
      status_(other.status_) {
    other.process_ = -1;
    other.output_ = -1;
    other.ended_ = true;
}

}  // namespace testing_support
