#include "app/command_line.h"

#include <algorithm>

#include "config/settings_check.h"

#include "platform/text.h"

namespace velkaro {

namespace {

// Options that take the next argument, with what that argument is.
struct TValuedOption {
    const char* Name;
    const char* Value;
};
constexpr TValuedOption kValued[] = {
    {"rg", "Rechnungsnummer"}, {"gs", "Nummer der Rechnungskorrektur"}, {"mandant", "Mandant"}, {"out", "Ordner"},
    {"von", "Datum"},          {"bis", "Datum"},       {"ergebnis", "Datei"},
};
constexpr const char* kFlags[] = {"xml", "mail", "layout", "neu", "erneut"};
// Selecting documents (or asking for the result list) makes a command line a batch.
constexpr const char* kBatchOptions[] = {"rg", "gs", "von", "bis", "ergebnis"};
constexpr const char* kBatchFlags[] = {"neu", "erneut"};
constexpr const char* kHelp[] = {"?", "h", "hilfe", "help"};
constexpr const char* kVersion = "version";
constexpr const char* kCheck = "pruefen";
constexpr const char* kSecret = "geheimnis";
constexpr const char* kHelpHint = " Hilfe: velkaro --hilfe";

// The name of a switch: the argument without its "/", "-" or "--"; empty for an
// argument that is no switch (a value, a lone "/" or "-").
std::string_view SwitchName(std::string_view arg) {
    if (arg.starts_with("--")) return arg.substr(2);
    if (arg.starts_with('/') || arg.starts_with('-')) return arg.substr(1);
    return {};
}

bool IsSwitchNamed(std::string_view arg, std::string_view name) {
    const std::string_view own = SwitchName(arg);
    return !own.empty() && SameText(own, name);
}

bool IsSwitchOf(std::string_view arg, const auto& names) {
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return IsSwitchNamed(arg, n); });
}

bool IsHelp(std::string_view arg) { return IsSwitchOf(arg, kHelp); }

const TValuedOption* ValuedOption(std::string_view arg) {
    for (const TValuedOption& o : kValued)
        if (IsSwitchNamed(arg, o.Name)) return &o;
    return nullptr;
}

// Every switch the program knows, for the nearest one to a mistyped switch.
std::vector<std::string> KnownSwitches() {
    std::vector<std::string> names;
    for (const TValuedOption& o : kValued) names.emplace_back(o.Name);
    for (const char* f : kFlags) names.emplace_back(f);
    for (const char* n : {kCheck, kSecret, "hilfe", kVersion}) names.emplace_back(n);
    return names;
}

bool IsKnownSwitch(std::string_view arg) {
    if (IsHelp(arg) || ValuedOption(arg)) return true;
    const std::vector<std::string> names = KnownSwitches();
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return IsSwitchNamed(arg, n); });
}

// A value that is one of this program's switches was almost surely meant as one.
bool LooksLikeSwitch(const std::string& value, const TValuedOption& option) {
    if (IsKnownSwitch(value))
        return true;
    // Folders and files may start with "/"; numbers, companies and dates do not.
    const std::string_view name = option.Name;
    return name != "out" && name != "ergebnis" && value.starts_with('/');
}

bool IsBatch(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return IsSwitchOf(a, kBatchOptions) || IsSwitchOf(a, kBatchFlags); });
}

[[noreturn]] void Fail(const std::string& message) { throw ECommandLineError(message + kHelpHint); }

// An argument that is no switch of this program, or a value without its switch.
[[noreturn]] void FailUnknown(const std::string& arg) {
    const std::string_view name = SwitchName(arg);
    if (name.empty())
        Fail("Unerwartetes Argument \"" + arg + "\": Werte stehen hinter ihrem Schalter (etwa /rg " + arg + ").");
    const std::vector<std::string> names = KnownSwitches();
    const std::string near = NearestName(name, names);
    Fail("Unbekannter Schalter \"" + arg + "\"" + (near.empty() ? std::string(".") : " – gemeint ist /" + near + "?"));
}

TDateTime DateValue(const std::string& option, const std::string& value, TDateTime today) {
    const std::optional<TDateTime> date = ParseCommandLineDate(value, today);
    if (!date)
        Fail("Der Schalter " + option + " erwartet ein Datum (TT.MM.JJJJ, heute oder gestern), nicht \"" + value + "\".");
    return *date;
}

void ParseBatch(const std::vector<std::string>& args, TDateTime today, TCommandLine& cmd) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (const TValuedOption* option = ValuedOption(arg)) {
            const std::string shown = "/" + std::string(option->Name);
            const std::string needs = "Der Schalter " + shown + " braucht einen Wert (" + option->Value + ")";
            if (i + 1 >= args.size())
                Fail(needs + ", er steht aber am Ende.");
            const std::string value = Trim(args[++i]);
            if (value.empty())
                Fail(needs + ", der Wert ist leer.");
            if (LooksLikeSwitch(value, *option))
                Fail(needs + ", gefunden wurde der Schalter \"" + value + "\".");
            const std::string_view name = option->Name;
            if (name == "rg" || name == "gs") {
                const TDocumentKind kind = name == "gs" ? bkCreditMemo : bkInvoice;
                const bool named = std::any_of(cmd.Documents.begin(), cmd.Documents.end(), [&](const TDocumentRef& d) {
                    return d.Kind == kind && SameText(d.No, value);
                });
                if (!named) cmd.Documents.push_back({kind, value});
            } else if (name == "mandant") {
                cmd.Company = value;
            } else if (name == "out") {
                cmd.OutDir = value;
            } else if (name == "von") {
                cmd.DateFrom = DateValue(shown, value, today);
            } else if (name == "bis") {
                cmd.DateTo = DateValue(shown, value, today);
            } else {
                cmd.ResultFile = value;
            }
            continue;
        }
        if (IsSwitchNamed(arg, "xml"))
            cmd.SaveXml = true;
        else if (IsSwitchNamed(arg, "mail"))
            cmd.Mail = true;
        else if (IsSwitchNamed(arg, "layout"))
            cmd.Layout = true;
        else if (IsSwitchNamed(arg, "neu"))
            cmd.OnlyNew = true;
        else if (IsSwitchNamed(arg, "erneut"))
            cmd.Resend = true;
        else
            FailUnknown(arg);
    }
    if (cmd.DateFrom && cmd.DateTo && *cmd.DateFrom > *cmd.DateTo)
        Fail("Der Zeitraum ist leer: /von " + FormatDisplayDate(*cmd.DateFrom) + " liegt nach /bis " +
             FormatDisplayDate(*cmd.DateTo) + ".");
    if (cmd.OnlyNew && cmd.Resend)
        Fail("Die Schalter /neu und /erneut schließen einander aus.");
    if (cmd.Resend && !cmd.Mail)
        Fail("Der Schalter /erneut gilt nur zusammen mit /mail.");
}

} // namespace

std::optional<TDateTime> ParseCommandLineDate(const std::string& text, TDateTime today) {
    const std::string t = Trim(text);
    if (SameText(t, "heute"))
        return DateOf(today);
    if (SameText(t, "gestern"))
        return DateOf(today) - 1;
    const std::vector<std::string> parts = Split(t, '.');
    if (parts.size() != 3)
        return std::nullopt;
    int numbers[3];
    for (size_t k = 0; k < 3; ++k) {
        const std::string& p = parts[k];
        const size_t maxDigits = k == 2 ? 4 : 2;
        if (p.empty() || p.size() > maxDigits || !std::all_of(p.begin(), p.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        numbers[k] = std::stoi(p);
    }
    if (parts[2].size() == 2)
        numbers[2] += 2000;
    else if (parts[2].size() != 4)
        return std::nullopt;
    if (!IsValidDate(numbers[2], numbers[1], numbers[0]))
        return std::nullopt;
    return EncodeDate(numbers[2], numbers[1], numbers[0]);
}

bool HasSwitch(const std::vector<std::string>& args, const std::string& name) {
    return std::any_of(args.begin(), args.end(), [&](const std::string& a) { return IsSwitchNamed(a, name); });
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args, TDateTime today) {
    TCommandLine cmd;
    if (std::any_of(args.begin(), args.end(), [](const std::string& a) { return IsHelp(a); })) {
        cmd.Mode = rmHelp;
        return cmd;
    }
    if (HasSwitch(args, kVersion)) {
        cmd.Mode = rmVersion;
        return cmd;
    }
    if (HasSwitch(args, kCheck)) {
        if (args.size() > 1)
            Fail("Der Schalter /pruefen steht allein: er prüft die Einstellungen und erstellt oder versendet nichts.");
        cmd.Mode = rmCheck;
        return cmd;
    }
    if (HasSwitch(args, kSecret)) {
        cmd.Mode = rmSecret;
        return cmd;
    }
    // Read strictly, whether it selects documents or not: a mistyped switch is named,
    // never taken for a wish to open the window. Known switches without a selection
    // (none at all, "/layout", "/mandant Muster") open the window.
    ParseBatch(args, today, cmd);
    if (!IsBatch(args)) {
        cmd.Mode = rmWindow;
        return cmd;
    }
    cmd.Mode = rmBatch;
    return cmd;
}

std::string CommandLineHelp() {
    return "Velkaro erstellt ZUGFeRD-Rechnungen aus Navision und versendet sie per E-Mail.\n"
           "\n"
           "Aufruf:\n"
           "  velkaro                        Hauptfenster\n"
           "  velkaro /layout                Layout-Designer\n"
           "  velkaro <Auswahl> [Optionen]   Stapellauf ohne Fenster\n"
           "\n"
           "Auswahl (kombinierbar):\n"
           "  /rg <Nummer>       diese Rechnung (mehrfach möglich; doppelte Nummern einmal)\n"
           "  /gs <Nummer>       diese Rechnungskorrektur (gebuchte Gutschrift in NAV;\n"
           "                     mehrfach möglich, mit /rg mischbar, in der Reihenfolge)\n"
           "  /von <Datum>       alle gebuchten Rechnungen und Rechnungskorrekturen ab diesem\n"
           "                     Buchungsdatum\n"
           "  /bis <Datum>       dieselben bis zu diesem Buchungsdatum\n"
           "                     Datum: TT.MM.JJJJ, heute oder gestern\n"
           "  /neu               nur Rechnungen, die noch nicht erfolgreich versendet wurden\n"
           "                     (ohne /von und /bis: alle noch nicht versendeten)\n"
           "\n"
           "Optionen:\n"
           "  /mandant <Name>    Mandant (Vorgabe: Einstellungsdatei, sonst der erste)\n"
           "  /out <Ordner>      Ausgabeordner nur für diesen Lauf\n"
           "  /xml               XML-Datei neben die PDF-Datei schreiben\n"
           "  /mail              Rechnungen per E-Mail versenden; per Datum gewählte, schon\n"
           "                     versendete Rechnungen werden übersprungen\n"
           "  /erneut            mit /mail: auch schon versendete Rechnungen erneut senden\n"
           "  /ergebnis <Datei>  CSV-Datei mit einer Zeile je Beleg (Nummer, Art, Status,\n"
           "                     PDF, Empfänger, Meldung)\n"
           "  /pruefen           nur prüfen: Einstellungsdatei, Datenbankverbindung, Anmeldung\n"
           "                     bei Microsoft 365 oder am SMTP-Server und geschützte Secrets;\n"
           "                     erstellt und versendet nichts\n"
           "                     (Rückgabewert 0: alles in Ordnung, 2: Probleme)\n"
           "  /? -h --hilfe      diese Hilfe\n"
           "  /geheimnis         Client-Secret für Microsoft 365 (bei [Versand] Weg=SMTP mit\n"
           "                     [SMTP] Benutzer das SMTP-Passwort) von der Standardeingabe\n"
           "                     lesen und geschützt für den ausführenden Benutzer speichern\n"
           "                     (für das Dienstkonto als root:\n"
           "                     runuser -u velkaro -- velkaro /geheimnis)\n"
           "  --version          Name und Version\n"
           "\n"
           "Jeder Schalter gilt auch mit - oder -- statt / (etwa -rg, --mail).\n"
           "\n"
           "Einstellungen: die Datei in VELKARO_INI, sonst ~/.config/velkaro/velkaro.ini\n"
           "($XDG_CONFIG_HOME/velkaro/velkaro.ini).\n"
           "Datenordner (Sperrdatei, Protokoll, Versandprotokoll, Vorgabe für die Ausgabe):\n"
           "[Ausgabe] Datenordner; sonst der Ordner der Einstellungen, wenn dieses Konto\n"
           "ihn beschreiben darf, sonst ~/.local/state/velkaro ($XDG_STATE_HOME/velkaro).\n"
           "Protokoll: velkaro.log im Datenordner (die sieben vorigen Läufe als\n"
           "velkaro.log.1 bis .7). Es läuft immer nur ein Stapellauf je Einstellungsdatei;\n"
           "ein zweiter wartet bis zu einer Minute.\n"
           "\n"
           "Rückgabewerte:\n"
           "  0  alles erledigt\n"
           "  1  einzelne Belege fehlgeschlagen (Einzelheiten im Protokoll)\n"
           "  2  Aufruf- oder Einstellungsfehler, nichts wurde getan\n"
           "  3  der Lauf konnte nicht beginnen (Datenbank nicht erreichbar, Mandant\n"
           "     unbekannt, Anmeldung bei Microsoft 365 fehlgeschlagen, anderer Lauf aktiv)\n"
           "  128+n  durch das Signal n beendet (nach dem laufenden Beleg)\n"
           "\n"
           "Beispiel (crontab -u velkaro -e: jede Nacht um 2 Uhr die Rechnungen von gestern\n"
           "versenden, als Dienstkonto velkaro):\n"
           "  0 2 * * *  VELKARO_INI=/etc/velkaro/velkaro.ini /usr/bin/velkaro /von gestern /bis gestern "
           "/mail\n";
}

} // namespace velkaro
