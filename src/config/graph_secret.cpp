#include "config/graph_secret.h"

#include <optional>

#include "platform/base64.h"
#include "platform/secret_store.h"
#include "platform/text.h"

namespace velkaro {

namespace {

std::string Remedy(const std::string& user) {
    return " Abhilfe: als dieser Benutzer \"velkaro /geheimnis\" ausführen (etwa \"sudo -u " + user +
           " velkaro /geheimnis\") und das Secret neu eingeben, oder VELKARO_SCHLUESSEL auf die Schlüsseldatei setzen, "
           "mit der es geschützt wurde.";
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
    problem = "Das gespeicherte Client-Secret ([Graph] ClientSecretGeschuetzt) kann vom Benutzer \"" + user +
              "\" nicht entschlüsselt werden. " + Reason(r) + Remedy(user);
    return {};
}

std::string PlainSecretWarning(const std::string& settingsFile, const std::string& reason) {
    return "Das Client-Secret steht ungeschützt in der Einstellungsdatei \"" + settingsFile +
           "\" ([Graph] ClientSecret), weil es nicht geschützt werden konnte: " + Trim(reason) +
           " Abhilfe: VELKARO_SCHLUESSEL auf eine Schlüsseldatei in einem für diesen Benutzer beschreibbaren Ordner "
           "setzen; beim nächsten Lauf wird das Secret dann geschützt gespeichert.";
}

} // namespace velkaro
