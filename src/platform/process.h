#pragma once
// Runs a helper program of the system and collects what it prints.
#include <optional>
#include <string>
#include <vector>

namespace velkaro {

// Runs argv[0] (searched in PATH) with the arguments, standard input empty and its error
// output discarded, and returns its standard output; nullopt when it cannot be started
// or does not end with exit code 0.
std::optional<std::string> ReadProgramOutput(const std::vector<std::string>& argv);

} // namespace velkaro
