#pragma once
// Reads a secret typed by the user or handed over through a pipe.
#include <optional>
#include <string>

namespace velkaro {

// Reads one line from the descriptor, without its line end. On a terminal the prompt goes
// to the error output first and the typed characters are not shown; from a pipe or a
// file the first line is taken as it is (the whole input when it has no line end).
// nullopt when reading fails.
std::optional<std::string> ReadSecretLine(int fd, const std::string& prompt);

} // namespace velkaro
