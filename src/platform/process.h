#pragma once
// Runs a helper program of the system and collects what it prints; the process's own
// protection of the secrets it holds.
#include <optional>
#include <string>
#include <vector>

namespace velkaro {

// Runs argv[0] (searched in PATH) with the arguments, standard input empty and its error
// output discarded, and returns its standard output; nullopt when it cannot be started
// or does not end with exit code 0.
std::optional<std::string> ReadProgramOutput(const std::vector<std::string>& argv);

// No core file and no other process of the account reading this one's memory: it holds
// the client secret and the access token. Called first thing by each program.
void ForbidCoreDumps();

} // namespace velkaro
