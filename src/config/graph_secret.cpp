#include "config/graph_secret.h"

#include <unistd.h>

#include <optional>

#include "platform/base64.h"
#include "platform/secret_store.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// What helps when the secret was protected with another key. Root reads only root's
// key: the secret of a service account is checked and stored as that account.
std::string Remedy(const std::string& user, bool root) {
    if (root)
        return " Abhilfe: gehört das Secret einem Dienstkonto (etwa velkaro), als dieses prüfen und speichern: "
               "\"runuser -u velkaro -- velkaro /pruefen\" und \"runuser -u velkaro -- velkaro /geheimnis\"; oder "
               "VELKARO_SCHLUESSEL auf die Schlüsseldatei setzen, mit der es geschützt wurde.";
    return " Abhilfe: als Benutzer \"" + user + "\" \"velkaro /geheimnis\" ausführen (als root für dieses Konto: "
           "\"runuser -u " + user + " -- velkaro /geheimnis\") und das Secret neu eingeben, oder VELKARO_SCHLUESSEL "
           "auf die Schlüsseldatei setzen, mit der es geschützt wurde.";
}

std::string Reason(const TUnprotected& r) {
    switch (r.Failure) {
        case TUnprotectFailure::ufOtherKey:
            return "Es wurde von einem anderen Benutzer oder mit einer anderen Schlüsseldatei geschützt; der Schlüssel "
                   "dieses Benutzers (\"" + r.Detail + "\") ist ein anderer.";
        case TUnprotectFailure::ufNoKey:
            return "Es wurde von einem anderen Benutzer oder mit einer anderen Schlüsseldatei geschützt; dieser Benutzer "
                   "hat keinen Schlüssel (\"" + r.Detail + "\" fehlt).";
        case TUnprotectFailure::ufNoKeyPlace:
            return "Dieser Benutzer hat keinen Benutzerordner für seinen Schlüssel, und VELKARO_SCHLUESSEL ist nicht "
                   "gesetzt.";
        case TUnprotectFailure::ufKeyRefused:
            return "Der Schlüssel dieses Benutzers ist nicht verwendbar (" + r.Detail + ").";
        case TUnprotectFailure::ufDamaged:
        case TUnprotectFailure::ufNone: break;
    }
    return "Der gespeicherte Wert ist beschädigt.";
}

} // namespace

std::string ReadProtectedSecret(const std::string& stored, std::string& problem) {
    return ReadProtectedSecret(stored, problem, std::string(kGraphSecretName));
}

std::string ReadProtectedSecret(const std::string& stored, std::string& problem, const std::string& name) {
    return ReadProtectedSecret(stored, problem, "Das gespeicherte " + name, Remedy(CurrentUserName(), geteuid() == 0));
}

std::string ReadProtectedSecret(const std::string& stored, std::string& problem, const std::string& subject,
                                const std::string& remedy) {
    problem.clear();
    if (stored.empty()) return {};
    TUnprotected r;
    std::optional<std::string> blob = Base64Decode(stored);
    if (blob && !blob->empty())
        r = UnprotectDataExplained(*blob);
    else
        r.Failure = TUnprotectFailure::ufDamaged;
    if (r.Plain) return SanitizeUtf8(*r.Plain);
    const std::string user = CurrentUserName();
    // A key refused for its rights or owner names its own remedy (chmod 600 …); entering
    // the secret anew would be refused for the same reason.
    problem = subject + " kann vom Benutzer \"" + user + "\" nicht entschlüsselt werden. " + Reason(r) +
              (r.Failure == TUnprotectFailure::ufKeyRefused ? std::string() : remedy);
    return {};
}

std::string PlainSecretWarning(const std::string& settingsFile, const std::string& reason, const std::string& name) {
    // "Client-Secret ([Graph] ClientSecret)": the value's name, then where it stands.
    const size_t open = name.find(" (");
    const std::string value = name.substr(0, open);
    const std::string place = open == std::string::npos ? std::string() : " " + name.substr(open + 1);
    return "Das " + value + " steht ungeschützt in der Einstellungsdatei \"" + settingsFile + "\"" + place +
           ", weil es nicht geschützt werden konnte: " + Trim(reason) +
           " Abhilfe: VELKARO_SCHLUESSEL auf eine Schlüsseldatei in einem für diesen Benutzer beschreibbaren Ordner "
           "setzen; beim nächsten Lauf wird das " + value + " dann geschützt gespeichert.";
}

} // namespace velkaro
