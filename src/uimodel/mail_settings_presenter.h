#pragma once
// The logic of the mail settings dialog, free of any GUI toolkit: the values it shows
// and saves (a stored secret behind twelve bullets, or named as unreadable for this
// account), the placeholder list and where a chosen placeholder goes, the connection
// test, the test mail built from sample data, the preview of the mail for sample data or
// a real invoice, and the signature tools. Every action works on the values as typed,
// saved or not, and reports through the dialog's message boxes.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "uimodel/view_services.h"

namespace velkaro {

class TNavData;
class TSettings;

// Twelve U+2022: the edit field of a stored secret.
inline constexpr const char* kSecretBullets =
    "\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022";

// What the dialog's fields hold.
struct TMailSettingsValues {
    std::string Tenant, ClientId, Secret, Sender, ReplyTo, Bcc, TestRecipient, Subject;
    bool SaveToSent = true;
    bool AttachXml = false;
    bool Html = true;
    std::string BodyHtml, Signature, BodyText;
};

// How the secret's row shows what is stored.
struct TSecretDisplay {
    std::string Hint;         // beside the field
    std::string Placeholder;  // inside the empty field; "" when there is none
    std::string Problem;      // why the stored secret cannot be read and what helps; "" when it can
};

// The text fields a placeholder can be inserted into.
enum TMailTextField { mtSubject, mtHtml, mtSignature, mtText };

// The preview as the dialog shows it.
struct TMailPreview {
    std::string Document;  // complete HTML, header bar included
    std::string File;      // where it was written
};

// What the presenter needs of the dialog.
class TMailSettingsView {
public:
    virtual ~TMailSettingsView() = default;
    virtual void ShowValues(const TMailSettingsValues& values) = 0;
    // The fields as they are now.
    virtual TMailSettingsValues Values() const = 0;
    virtual std::string PreviewInvoiceNo() const = 0;
    // The input box "Testmail" / "Empfänger der Testmail:" preset with `suggestion`;
    // nullopt when cancelled.
    virtual std::optional<std::string> AskTestRecipient(const std::string& suggestion) = 0;
    // Replaces the signature editor's text.
    virtual void SetSignature(const std::string& html) = 0;
    // Shows the signature tab and inserts at the caret of its editor.
    virtual void InsertIntoSignature(const std::string& text) = 0;
    virtual void ShowPreview(const TMailPreview& preview) = 0;
};

inline constexpr const char* kSecretUnreadableNote = "gespeichert \u2013 für dieses Benutzerkonto nicht lesbar";

class TMailSettingsPresenter {
public:
    // `data` may be null (no database: the sample seller is used). All must outlive it.
    TMailSettingsPresenter(TSettings& settings, TNavData* data, const std::string& company, TMailSettingsView& view,
                           TViewServices services);

    // Fills the dialog and remembers what its fields show, the measure of what the user
    // changed.
    void Start();

    // The fields at opening: the secret as bullets when a readable one is stored; empty
    // when none is stored or this account cannot read it (SecretDisplay says so).
    TMailSettingsValues InitialValues() const;
    TSecretDisplay SecretDisplay() const;
    // The secret the actions use: the stored one while the field is as shown at opening,
    // else the field as typed. Raises the reason when the stored one cannot be read.
    std::string EffectiveSecret(const TMailSettingsValues& values) const;

    // "{Key}  description" per placeholder and "{Signatur}  …" last.
    static std::vector<std::string> PlaceholderEntries();
    // The entry's text up to and including its first "}".
    static std::string PlaceholderText(const std::string& entry);
    // The field that received the focus last among subject and editors (the HTML text
    // at opening); other fields do not count.
    void FocusEntered(TMailTextField field) { FLastFocus = field; }
    TMailTextField LastFocus() const { return FLastFocus; }

    // "Verbindung testen": signs in with the typed credentials and says how it went.
    void TestConnection();
    // "Testmail an Testempfänger": sample data, "[Testmail] " subject, the notice, no Bcc,
    // no invoice, to the test recipient or (field empty) whom the user names.
    void SendTestMail();
    // The preview for the number of the preview field (blank: sample data), written to a
    // file of this process's private folder. Errors of the mail show inside the page in red.
    void RefreshPreview();
    // Refreshes the preview and opens its file with the desktop's browser.
    void OpenInBrowser();
    static std::string PreviewFileName() { return "Velkaro_Mailvorschau.htm"; }

    // "Speichern": copies the values the user changed into the settings and writes only
    // those; true when saved. On failure shows "Speichern nicht möglich: …" (the settings
    // then hold the new values already).
    bool Save();

    // "Aus Outlook übernehmen..." / "HTML-Datei laden...": the signature of an Outlook (or
    // any HTML) file, its pictures copied to the image folder.
    void ImportFromOutlook(const std::string& file);
    void LoadSignatureFile(const std::string& file);
    // "Bild einfügen...": copies the picture into the image folder (unless it lies there
    // already) and inserts its tag into the signature.
    void InsertImage(const std::string& file);
    // "Standardsignatur", after asking.
    void UseStandardSignature();

    std::string ImageFolder() const;
    static std::string StandardSignature();
    // The grey hint line of the HTML tab.
    std::string HtmlHint() const;

private:
    std::string BaseDir() const;
    // The company's seller, or the sample seller when it cannot be loaded.
    TSeller Seller() const;
    bool SecretUnreadable() const;
    std::string ImageTag(const std::string& file) const;
    // The preview of the fields for `invoiceNo`, not yet written.
    TMailPreview BuildPreview(const TMailSettingsValues& values, const std::string& invoiceNo) const;
    // Writes and shows the preview; its file, or nullopt after showing why it failed.
    std::optional<std::string> ShowFreshPreview();
    // Runs `action` with the effective secret under the hourglass and shows the message it
    // returns; an error shows as the sentence `lead`, then the error's text without the secret.
    void Attempt(const std::string& lead, const TMailSettingsValues& values,
                 const std::function<std::string(const std::string& secret)>& action);

    TSettings& FSettings;
    TNavData* FData;
    std::string FCompany;
    TMailSettingsView& FView;
    TViewServices FServices;
    TMailSettingsValues FShown;  // the fields as Start left them
    TMailTextField FLastFocus = mtHtml;
};

} // namespace velkaro
