#pragma once
// The mail settings dialog: app registration, mailbox, test recipient, subject, the
// HTML text, the HTML signature, the plain text and a preview of the mail. The logic
// lives in TMailSettingsPresenter; this dialog shows its values, asks for files and
// forwards clicks.
#include <QDialog>
#include <memory>
#include <string>

#include "ui/qt_services.h"
#include "uimodel/mail_settings_presenter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTextBrowser;

namespace velkaro {

class TNavData;
class TSettings;

class TMailSettingsForm : public QDialog, public TMailSettingsView {
    Q_OBJECT
public:
    // True exactly when the user saved.
    static bool Execute(QWidget* owner, TSettings& settings, TNavData* data, const std::string& company);

    TMailSettingsForm(QWidget* owner, TSettings& settings, TNavData* data, const std::string& company);

    TMailSettingsPresenter& Presenter() { return FPresenter; }

    // The actions of the buttons that need more than the presenter, for the window tests
    // as well.
    void ImportFromOutlook();
    void LoadHtmlFile();
    void InsertImage();
    void InsertPlaceholder(int index);
    void Save();

    // TMailSettingsView
    void ShowValues(const TMailSettingsValues& values) override;
    TMailSettingsValues Values() const override;
    std::string PreviewInvoiceNo() const override;
    std::optional<std::string> AskTestRecipient(const std::string& suggestion) override;
    void SetSignature(const std::string& html) override;
    void InsertIntoSignature(const std::string& text) override;
    void ShowPreview(const TMailPreview& preview) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShowFormatTab();
    QWidget* TextField(TMailTextField field) const;

    TQtServices FServices;
    TMailSettingsPresenter FPresenter;

public:
    QLineEdit* edTenant = nullptr;
    QLineEdit* edClient = nullptr;
    QLineEdit* edSecret = nullptr;
    QLabel* lblSecret = nullptr;  // the secret's hint
    QLineEdit* edSender = nullptr;
    QLineEdit* edReplyTo = nullptr;
    QLineEdit* edBcc = nullptr;
    QLineEdit* edTest = nullptr;
    QLineEdit* edSubject = nullptr;
    QCheckBox* chkSent = nullptr;
    QCheckBox* chkXml = nullptr;
    QRadioButton* rbHtml = nullptr;
    QRadioButton* rbText = nullptr;
    QTabWidget* Pages = nullptr;
    QPlainTextEdit* mmHtml = nullptr;
    QPlainTextEdit* mmSig = nullptr;
    QPlainTextEdit* mmText = nullptr;
    QLineEdit* edPreviewNo = nullptr;
    QTextBrowser* Browser = nullptr;
    QComboBox* cbPh = nullptr;
};

} // namespace velkaro
