// The main window's menu commands: output folder and options, the settings file, the
// look, the user guide and manual, the layout designer's and the mail settings' hooks.
#include "config/settings.h"
#include "platform/files.h"
#include "uimodel/main_presenter.h"
#include "uimodel/theme.h"
#include "uimodel/vendor.h"

namespace velkaro {

void TMainPresenter::OpenOutputFolder() {
    ForceDirectories(FSettings.OutDir);
    FServices.Opener.OpenPath(FSettings.OutDir);
}

std::string TMainPresenter::OutDirDialogStart() const {
    return DirectoryExists(FSettings.OutDir) ? FSettings.OutDir : std::string();
}

void TMainPresenter::SetOutDir(const std::string& folder) {
    if (!Enabled(mcOutputOptions)) return;
    FSettings.OutDir = folder;
    FView.StatusChanged();
    Log("Ausgabeordner: " + folder);
}

void TMainPresenter::SetSaveXml(bool on) {
    if (Enabled(mcOutputOptions)) FSettings.SaveXml = on;
    FView.StatusChanged();
}

void TMainPresenter::SetOpenPdf(bool on) {
    if (Enabled(mcOutputOptions)) FSettings.OpenPdf = on;
    FView.StatusChanged();
}

void TMainPresenter::EditSettingsFile() {
    StoreUserValues();
    FServices.Opener.OpenPath(FSettings.FFileName);
    Log("Einstellungsdatei geöffnet. Nach dem Speichern „Einstellungen > Einstellungsdatei neu laden“ wählen.");
}

void TMainPresenter::ReloadSettings() {
    if (!Enabled(mcReloadSettings)) return;
    FSettings.Load();
    FView.StatusChanged();
    Log("Einstellungsdatei neu geladen: " + FSettings.FFileName);
    ConnectDatabase();
}

bool TMainPresenter::LightSkin() const { return IsLightSkin(FSettings.Skin); }

void TMainPresenter::SetLightSkin(bool light) { FSettings.Skin = SkinName(light); }

void TMainPresenter::OpenUserGuide(const std::string& programFolder) {
    // Beside the program where it was built or unpacked; installed (…/bin/velkaro), in
    // the documentation folder of the same prefix.
    for (const std::string& folder : {programFolder, CombinePath(programFolder, "../share/doc/velkaro")}) {
        const std::string guide = CombinePath(folder, kUserGuideFile);
        if (FileExists(guide)) {
            FServices.Opener.OpenPath(AbsolutePath(guide));
            return;
        }
    }
    FServices.Messages.Inform("Die Anleitung LIESMICH.md liegt weder im Programmordner noch in ../share/doc/velkaro.");
}

void TMainPresenter::LayoutSaved() {
    Log("Layout gespeichert: " + FSettings.LayoutFile);
}

bool TMainPresenter::EditMailSettings() {
    if (!FView.OpenMailSettings()) return false;
    Log("E-Mail-Einstellungen gespeichert.");
    return true;
}

void TMainPresenter::OpenManual(const std::string& programFolder) {
    const std::string web = ManualAddress(FSettings.FFileName);
    if (!web.empty())
        FServices.Opener.OpenPath(web);
    else
        OpenUserGuide(programFolder);
}

} // namespace velkaro
