#pragma once
// The program icon (data/velkaro.svg, rendered to PNG sizes) for every window.
#include <QIcon>

namespace velkaro {

QIcon ProgramIcon();

} // namespace velkaro
