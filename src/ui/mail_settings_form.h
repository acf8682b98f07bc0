#pragma once
// The mail settings dialog: app registration, mailbox, test recipient, subject, the
// HTML text, the HTML signature, the plain text and a preview of the mail. The logic
// lives in TMailSettingsPresenter; this dialog shows its values and forwards clicks.
#include <QDialog>
#include <memory>
#include <string>

#include "uimodel/mail_settings_presenter.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTextBrowser;

namespace velkaro {

class TNavData;
class TSettings;

class TMailSettingsForm : public QDialog {
    Q_OBJECT
public:
    // True exactly when the user saved.
    static bool Execute(QWidget* owner, TSettings& settings, TNavData* data, const std::string& company);

    TMailSettingsForm(QWidget* owner, TSettings& settings, TNavData* data, const std::string& company);

    TMailSettingsValues Values() const;
    TMailSettingsPresenter& Presenter() { return FPresenter; }

    // The actions of the buttons, for the window tests as well.
    void TestConnection();
    void SendTestMail();
    void RefreshPreview();
    void OpenInBrowser();
    void ImportFromOutlook();
    void LoadHtmlFile();
    void InsertImage();
    void UseStandardSignature();
    void InsertPlaceholder(int index);
    void Save();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ShowFormatTab();
    QWidget* TextField(TMailTextField field) const;

    TSettings& FSettings;
    TMailSettingsPresenter FPresenter;

public:
    QLineEdit* edTenant = nullptr;
    QLineEdit* edClient = nullptr;
    QLineEdit* edSecret = nullptr;
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
