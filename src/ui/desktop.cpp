// Application object, look, German texts and the window of the mode.
#include "ui/desktop.h"

#include <QApplication>
#include <QLocale>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/files.h"
#include "ui/designer_form.h"
#include "ui/german_texts.h"
#include "ui/main_form.h"
#include "ui/program_icon.h"
#include "ui/theme_qt.h"

namespace velkaro {

namespace {

bool EnvSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// The look of the settings file; a file that cannot be read gives the dark look. Only
// read: the window's own settings create a missing file and say so.
bool LightSkinOfSettings() {
    try {
        return IsLightSkin(TSettings(SettingsFilePath(), TSettingsAccess::saReadOnly).Skin);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

bool DisplayAvailable() { return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM"); }

int RunDesktop(int& argc, char** argv, const std::vector<std::string>& args) {
    QApplication app(argc, argv);
    // Qt takes the user's locale for the whole process; numbers written by the C library
    // (database drivers, the PDF and XML text) must keep the decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName("Velkaro");
    QApplication::setApplicationName("velkaro");
    // No application display name: Qt would append it to every window's title, so that
    // dialogs lose their own to " — ZUGFeRD-Rechnungen aus Navision". The main window
    // sets that title itself.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    InstallGermanQtTexts(app);
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName("velkaro");
    ApplyTheme(LightSkinOfSettings());

    if (HasSwitch(args, "layout")) {
        TSettings settings(SettingsFilePath());
        TNavData data(settings);
        TDesignerForm::Execute(nullptr, settings, data, settings.Company, "");
        return 0;
    }
    TMainForm form(SettingsFilePath());
    if (const std::string& note = form.Session().Settings().FirstRunNote; !note.empty())
        std::fprintf(stderr, "Velkaro: %s\n", note.c_str());
    form.show();
    return QApplication::exec();
}

} // namespace velkaro
