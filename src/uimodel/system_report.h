#pragma once
// The plain-text system report of the about dialog, for support requests: program,
// toolchain, operating system, look, database with the NAV version, e-invoice profile,
// PDF font, mail set-up and the paths in use. Never names the client secret.
#include <functional>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace velkaro {

class TSettings;

// What the report says about the program and the machine it runs on.
struct TSystemFacts {
    std::string Version;         // "0.1.0"
    TDateTime BuildTime = 0;     // the executable's modification time; 0 when unknown
    std::string ExecutablePath;
    std::string Compiler;        // CompilerDescription()
    std::string OperatingSystem; // OperatingSystemDescription()
    std::string StyleName;       // "Windows" (light) or "Dark"
};

// The lines of the database's NAV version; raises when the database cannot be queried.
// An empty function: no database object, no NAV lines.
using TNavVersionQuery = std::function<std::vector<std::string>()>;

// One line per entry, each ending in CR LF; labels padded to 14 characters + ": ".
std::string SystemReport(const TSystemFacts& facts, const TSettings& settings, const std::string& company,
                         const TNavVersionQuery& navVersion);

// The compiler and its version this program was built with, and the target.
std::string CompilerDescription();
// PRETTY_NAME of the os-release file (or NAME and VERSION), then the kernel of uname:
// "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 x86_64". A missing file leaves
// the kernel alone.
std::string OperatingSystemDescription(const std::string& osReleaseFile = "/etc/os-release");

// Facts of the running program (version, executable, its time, compiler, system).
TSystemFacts CurrentSystemFacts(const std::string& styleName);

} // namespace velkaro
