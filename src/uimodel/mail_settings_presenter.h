#pragma once
// The logic of the mail settings dialog, free of any GUI toolkit: the values it shows
// and saves (the stored secret behind twelve bullets), the placeholder list and where a
// chosen placeholder goes, the connection test, the test mail built from sample data,
// the preview of the mail for sample data or a real invoice, and the signature tools.
// Every action works on the values as typed, saved or not.
#include <string>
#include <vector>

#include "invoice/invoice.h"

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

// The text fields a placeholder can be inserted into.
enum TMailTextField { mtSubject, mtHtml, mtSignature, mtText };

// The preview as the dialog shows it.
struct TMailPreview {
    std::string Document;  // complete HTML, header bar included
    std::string File;      // where it was written
};

class TMailSettingsPresenter {
public:
    // `data` may be null (no database: the sample seller is used). All must outlive it.
    TMailSettingsPresenter(TSettings& settings, TNavData* data, const std::string& company);

    // The fields at opening; the secret as bullets when one is stored.
    TMailSettingsValues InitialValues() const;
    // The stored secret while the field holds exactly the bullets, else the field as typed.
    std::string EffectiveSecret(const TMailSettingsValues& values) const;

    // "{Key}  description" per placeholder and "{Signatur}  …" last.
    static std::vector<std::string> PlaceholderEntries();
    // The entry's text up to and including its first "}".
    static std::string PlaceholderText(const std::string& entry);
    // The field that received the focus last among subject and editors (the HTML text
    // at opening); other fields do not count.
    void FocusEntered(TMailTextField field) { FLastFocus = field; }
    TMailTextField LastFocus() const { return FLastFocus; }

    // Signs in with the typed credentials; returns the message for the user. Raises with
    // the engine's message (the secret masked).
    std::string TestConnection(const TMailSettingsValues& values) const;
    // Sends the test mail (sample data, "[Testmail] " subject, the notice, no Bcc, no
    // invoice) to `recipient`; returns the message for the user. Raises like above.
    std::string SendTestMail(const TMailSettingsValues& values, const std::string& recipient) const;
    // The preview for `invoiceNo` (blank: sample data), written to "Velkaro_Mailvorschau.htm"
    // in the temporary folder. Errors show inside the page in red.
    TMailPreview Preview(const TMailSettingsValues& values, const std::string& invoiceNo) const;
    static std::string PreviewFile();

    // Copies the values into the settings and saves them; raises "Speichern nicht
    // möglich: …" (the settings then hold the new values already).
    void Save(const TMailSettingsValues& values);

    // The signature of an Outlook (or any HTML) file, its pictures copied to the image folder.
    std::string ImportSignature(const std::string& file) const;
    std::string ImageFolder() const;
    // Copies the picture into the image folder (unless it lies there already) and returns
    // the tag to insert into the signature.
    std::string InsertImage(const std::string& file) const;
    static std::string StandardSignature();
    // The grey hint line of the HTML tab.
    std::string HtmlHint() const;

private:
    std::string BaseDir() const;
    // The company's seller, or the sample seller when it cannot be loaded.
    TSeller Seller() const;

    TSettings& FSettings;
    TNavData* FData;
    std::string FCompany;
    TMailTextField FLastFocus = mtHtml;
};

} // namespace velkaro
