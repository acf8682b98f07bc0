#pragma once
// German texts of Qt's own dialogs (message box buttons, file dialog) from Debian's
// qtbase_de.qm (package qt6-translations-l10n).
class QCoreApplication;

namespace velkaro {

// False when the translation file is missing; the dialogs then stay English.
bool InstallGermanQtTexts(QCoreApplication& app);

} // namespace velkaro
