#pragma once
// Temporary files of the desktop (previews) that must not be seen by other users of the
// same machine, nor collide with a second window of the same user.
#include <string>
#include <string_view>

namespace velkaro {

// One folder per process that only its owner may enter (0700): a fresh folder
// "velkaro-XXXXXX" under $XDG_RUNTIME_DIR when that is a usable folder, else under the
// system's temporary folder. Made on first use; removed with its content when the process
// ends normally. Raises with a German message when no such folder can be made.
std::string PrivateTempFolder();

// Writes `bytes` to `name` in that folder (mode 0600) and returns the full path.
std::string WritePrivateTempFile(const std::string& name, std::string_view bytes);

} // namespace velkaro
