#include "config/state_folder.h"

#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// More links in a row than this are a loop.
constexpr int kMaxLinks = 40;

} // namespace

std::string RealSettingsPath(const std::string& settingsFile) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path path = fs::absolute(fs::path(settingsFile), ec);
    if (ec) return settingsFile;
    for (int link = 0; link < kMaxLinks; ++link) {
        fs::path folder = fs::weakly_canonical(path.parent_path(), ec);
        if (ec) folder = path.parent_path();
        path = folder / path.filename();
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : folder / target;
    }
    return path.lexically_normal().string();
}

TStateFolder ResolveStateFolder(const std::string& settingsFile, const std::string& configured) {
    const std::string settingsFolder = ExtractFilePath(RealSettingsPath(settingsFile));
    if (!Trim(configured).empty())
        return {IncludeTrailingPathDelimiter(AbsolutePath(PathBeside(settingsFolder, Trim(configured)))), {}};
    if (FolderWritable(settingsFolder))
        return {settingsFolder, {}};
    const std::optional<std::string> own = UserStateDir();
    if (!own)
        return {settingsFolder, "Dieses Konto darf im Ordner der Einstellungen " + settingsFolder +
                                    " nicht schreiben und hat keinen Benutzerordner: Sperrdatei, Protokoll und "
                                    "Versandprotokoll können nicht angelegt werden. Abhilfe: [Ausgabe] Datenordner "
                                    "auf einen Ordner setzen, in dem es schreiben darf."};
    const std::string folder = IncludeTrailingPathDelimiter(*own);
    return {folder, "[Ausgabe] Datenordner ist nicht gesetzt und dieses Konto darf im Ordner der Einstellungen " +
                        settingsFolder + " nicht schreiben: Sperrdatei, Protokoll, Versandprotokoll und die Vorgabe "
                        "für die Ausgabe liegen in " + folder + "."};
}

TStateFolder StateFolderOf(const std::string& settingsFile) {
    std::string configured;
    try {
        if (FileExists(settingsFile))
            configured = TIniFile::FromText(ReadHandEditedTextFile(settingsFile).Text)
                             .ReadString("Ausgabe", "Datenordner", "");
    } catch (const std::exception&) {
    }
    return ResolveStateFolder(settingsFile, configured);
}

std::string StateFilePath(const TStateFolder& state, const std::string& settingsFile, std::string_view ext) {
    return state.Folder + ChangeFileExt(ExtractFileName(RealSettingsPath(settingsFile)), ext);
}

} // namespace velkaro
