// The widget tests' entry: one application object for all tests, offscreen, with the
// window state written to a folder of its own instead of the user's configuration.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/test_support.h"
#include "ui/theme_qt.h"

namespace {

QtMessageHandler gStandardHandler = nullptr;

// The offscreen platform warns about every window it cannot size natively.
void QuietOffscreenWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.contains("propagateSizeHints")) gStandardHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    velkaro::test::TempFolder config;
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    gStandardHandler = qInstallMessageHandler(QuietOffscreenWarnings);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Velkaro");
    QApplication::setApplicationName("velkaro-test");
    velkaro::ApplyTheme(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
