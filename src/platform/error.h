#pragma once
// The program's exception type: every error carries a German message for the user.
#include <stdexcept>
#include <string>

namespace velkaro {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

} // namespace velkaro
