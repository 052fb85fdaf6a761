// What a command-line program takes from its system and gives back, in UTF-8 on every system:
// its arguments, its console, its own folder. Windows hands programs UTF-16 and shows consoles
// in an OEM code page; the Windows side converts at these edges so that everything inside the
// programs stays UTF-8.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace jet::program {

// The arguments after the program's name, in UTF-8.
std::vector<std::string> arguments(int argc, char** argv);
// Makes std::cout and std::cerr show UTF-8 text right in a console; output redirected to a file
// or a pipe keeps its bytes exactly (no code page, no CR added). Call once, first.
void setUpConsole();
// True when standard output is a console (progress is then redrawn in place).
bool outputIsConsole();
// The folder holding the running program (argv0 only where the system cannot tell).
std::filesystem::path folder(const char* argv0);

}  // namespace jet::program
