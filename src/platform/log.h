#pragma once
// The log callback of the workflows: one line per call, without time stamp.
#include <functional>
#include <string>

namespace velkaro {

using TLogProc = std::function<void(const std::string&)>;

} // namespace velkaro
