// The about dialog's system report.
#include "uimodel/system_report.h"

#include <sys/stat.h>
#include <sys/utsname.h>

#include <ctime>

#include "app/program_version.h"
#include "config/settings.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace velkaro {

namespace {

std::string Line(const std::string& label, const std::string& value) {
    std::string padded = label;
    // Padded by characters, not bytes: "Versandprot." is plain ASCII, the values may not be.
    while (padded.size() < 14) padded += ' ';
    return padded + ": " + value + "\r\n";
}

std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// Local modification time of a file; 0 when it cannot be read.
TDateTime FileModified(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return 0;
    std::tm tm {};
    if (!localtime_r(&st.st_mtime, &tm)) return 0;
    DateTimeParts parts;
    parts.year = tm.tm_year + 1900;
    parts.month = tm.tm_mon + 1;
    parts.day = tm.tm_mday;
    parts.hour = tm.tm_hour;
    parts.minute = tm.tm_min;
    parts.second = tm.tm_sec;
    return EncodeDateTime(parts);
}

} // namespace

std::string SystemReport(const TSystemFacts& facts, const TSettings& settings, const std::string& company,
                         const TNavVersionQuery& navVersion) {
    std::string r;
    r += Line("Programm", "Velkaro " + facts.Version + "  (" + FormatDisplayDateTime(facts.BuildTime) + ")");
    r += Line("Programmdatei", facts.ExecutablePath);
    r += Line("Compiler", facts.Compiler);
    r += Line("Betriebssystem", facts.OperatingSystem);
    r += Line("Darstellung", facts.StyleName);
    // A database file (SQLite) has no server: named alone, without a stray " / ".
    const std::string database = Trim(settings.Server).empty() ? settings.Database : settings.Server + " / " + settings.Database;
    r += Line("Datenbank", database + "  (Provider " + settings.Provider + ")");
    r += Line("Mandant", company);
    if (navVersion) {
        try {
            for (const std::string& line : navVersion()) r += line + "\r\n";
        } catch (const std::exception& e) {
            r += Line("NAV-Version", std::string("nicht ermittelbar (") + e.what() + ")");
        }
    }
    r += Line("ZUGFeRD", "Factur-X 1.0 / ZUGFeRD 2, Profil EN 16931 (urn:cen.eu:en16931:2017)");
    r += Line("PDF", "PDF/A-3b, Schrift " + settings.FontName);
    if (!Trim(settings.MailSender).empty()) {
        std::string mail = "Microsoft Graph, Absender " + settings.MailSender;
        if (!Trim(settings.MailTestRecipient).empty()) mail += "  (TESTMODUS -> " + settings.MailTestRecipient + ")";
        r += Line("E-Mail", mail);
    } else {
        r += Line("E-Mail", "nicht eingerichtet");
    }
    r += Line("Einstellungen", settings.FFileName);
    r += Line("Layout", settings.LayoutFile + (FileExists(settings.LayoutFile) ? "" : "  (Standardlayout)"));
    r += Line("Ausgabe", settings.OutDir);
    r += Line("Versandprot.", settings.MailLogFile);
    return r;
}

std::string CompilerDescription() {
#if defined(__clang__)
    std::string text = "Clang " __clang_version__;
#elif defined(__GNUC__)
    std::string text = "GCC " __VERSION__;
#else
    std::string text = "unbekannter Compiler";
#endif
#if defined(__x86_64__)
    text += ", x86_64";
#elif defined(__aarch64__)
    text += ", aarch64";
#elif defined(__i386__)
    text += ", i386";
#endif
#if defined(__linux__)
    text += "-linux";
#endif
    return text;
}

std::string OperatingSystemDescription(const std::string& osReleaseFile) {
    std::string name;
    if (FileExists(osReleaseFile)) {
        // os-release has no sections; one in front lets the INI reader take its lines.
        const TIniFile ini = TIniFile::FromText("[os]\n" + ReadTextFile(osReleaseFile));
        if (auto pretty = ini.Find("os", "PRETTY_NAME")) name = Unquote(*pretty);
        if (name.empty()) {
            name = Unquote(ini.Find("os", "NAME").value_or(""));
            const std::string version = Unquote(ini.Find("os", "VERSION").value_or(""));
            if (!version.empty()) name += (name.empty() ? "" : " ") + version;
        }
    }
    struct utsname u {};
    std::string kernel;
    if (uname(&u) == 0) kernel = std::string(u.sysname) + " " + u.release + " " + u.machine;
    if (name.empty()) return kernel;
    return kernel.empty() ? name : name + ", " + kernel;
}

TSystemFacts CurrentSystemFacts(const std::string& styleName) {
    TSystemFacts facts;
    facts.Version = ProgramVersion();
    facts.ExecutablePath = ExecutablePath();
    facts.BuildTime = FileModified(facts.ExecutablePath);
    facts.Compiler = CompilerDescription();
    facts.OperatingSystem = OperatingSystemDescription();
    facts.StyleName = styleName;
    return facts;
}

} // namespace velkaro
