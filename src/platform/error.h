#pragma once
// The program's exception type: every error carries a German message for the user.
#include <new>
#include <stdexcept>
#include <string>

namespace velkaro {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

inline constexpr const char* kOutOfMemoryMessage =
    "Nicht genug Arbeitsspeicher: die Aufgabe ist zu gro\u00DF f\u00FCr den freien Speicher dieses Rechners.";

// The message of any error for the user: ours as it is, running out of memory as a
// German sentence instead of the library's "std::bad_alloc".
inline std::string ErrorMessage(const std::exception& e) {
    if (dynamic_cast<const std::bad_alloc*>(&e)) return kOutOfMemoryMessage;
    return e.what();
}

} // namespace velkaro
