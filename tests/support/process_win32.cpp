// Running other programs from tests, Windows side (cmd.exe runs the command).
#include <array>
#include <cstdio>
#include <stdexcept>

#include "support/test_support.h"

namespace testing_support {

std::string runCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = _popen(command.c_str(), "rb");
    if (!pipe) throw std::runtime_error("cannot run: " + command);
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    const int rc = _pclose(pipe);
    if (status) *status = rc;
    return out;
}

}  // namespace testing_support
