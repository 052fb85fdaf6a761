#include <unistd.h>

#include "jet/program.h"

namespace jet::program {

std::vector<std::string> arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void setUpConsole() {}

bool outputIsConsole() {
    return ::isatty(STDOUT_FILENO);
}

std::filesystem::path folder(const char* argv0) {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) return self.parent_path();
    return std::filesystem::absolute(argv0 ? argv0 : ".").parent_path();
}

}  // namespace jet::program
