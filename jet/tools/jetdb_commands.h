// Subcommands of the jetdb tool that live outside the engine's own tool code.
#pragma once

#include <string>
#include <vector>

// `jetdb sql FILE [STATEMENT]`, implemented by the data layer (data/tools).
// `args` are the words after "sql". Returns the process exit status.
int jetdbSqlCommand(const std::vector<std::string>& args);
