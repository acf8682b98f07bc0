// The program icon from the resources of the ui library.
#include "ui/program_icon.h"

// A resource file in a static library registers itself only when asked to.
static void InitIconResources() { Q_INIT_RESOURCE(velkaro_icons); }

namespace velkaro {

QIcon ProgramIcon() {
    static const bool initialised = [] {
        InitIconResources();
        return true;
    }();
    (void)initialised;
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 96, 128, 256})
        icon.addFile(QString(":/icons/velkaro-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace velkaro
