#include "app/program_version.h"

#ifndef VELKARO_VERSION
#define VELKARO_VERSION "unbekannt"
#endif

namespace velkaro {

std::string ProgramVersion() {
    return VELKARO_VERSION;
}

} // namespace velkaro
