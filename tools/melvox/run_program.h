// Running helper programs (espeak-ng) from the command-line tool.
#pragma once

#include <string>
#include <vector>

namespace melvox::cli {

// True when an executable of that name is found on PATH.
bool ProgramExists(const std::string& name);

// Runs argv[0] (looked up on PATH) with its standard output and error discarded, and waits for it.
// Returns its exit status, or -1 when it could not be started or did not exit normally.
int RunProgram(const std::vector<std::string>& argv);

}  // namespace melvox::cli
