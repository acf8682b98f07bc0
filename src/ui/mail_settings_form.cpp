// The mail settings dialog's widgets and their wiring to the presenter.
#include "ui/mail_settings_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "mail/signature_import.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

QLabel* Hint(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QPlainTextEdit* Editor(const char* name, QWidget* parent) {
    auto* editor = new QPlainTextEdit(parent);
    editor->setObjectName(name);
    editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    return editor;
}

// Links as mail programs show them on white paper.
constexpr const char* kPaperLinkColour = "#0563C1";

} // namespace

bool TMailSettingsForm::Execute(QWidget* owner, TSettings& settings, TNavData* data, const std::string& company) {
    TMailSettingsForm form(owner, settings, data, company);
    return form.exec() == QDialog::Accepted;
}

TMailSettingsForm::TMailSettingsForm(QWidget* owner, TSettings& settings, TNavData* data, const std::string& company)
    : QDialog(owner), FServices(*this), FPresenter(settings, data, company, *this, FServices.Services()) {
    setWindowTitle(QString::fromUtf8("E-Mail-Versand über Microsoft 365 (Graph)"));
    setObjectName("TMailSettingsForm");
    BuildControls();
    FPresenter.Start();
    ShowFormatTab();
    resize(1000, 820);
}

void TMailSettingsForm::BuildControls() {
    auto* root = new QVBoxLayout(this);
    root->addWidget(Hint("App-Registrierung in Microsoft Entra ID mit Anwendungsberechtigung Mail.Send "
                         "(Administratorzustimmung erforderlich) – siehe Anleitung",
                         this));

    auto* form = new QFormLayout();
    auto row = [&](const char* label, QLineEdit*& edit, const char* name, const char* hint) {
        edit = new QLineEdit(this);
        edit->setObjectName(name);
        edit->setMinimumWidth(420);
        auto* line = new QHBoxLayout();
        line->addWidget(edit);
        QLabel* hintLabel = hint ? Hint(hint, this) : nullptr;
        if (hintLabel) line->addWidget(hintLabel);
        line->addStretch(1);
        form->addRow(QString::fromUtf8(label), line);
        return hintLabel;
    };
    row("Verzeichnis-(Mandanten-)ID", edTenant, "edTenant", "GUID oder muster.onmicrosoft.com");
    row("Anwendungs-(Client-)ID", edClient, "edClient", nullptr);
    const TSecretDisplay secret = FPresenter.SecretDisplay();
    lblSecret = row("Geheimer Clientschlüssel", edSecret, "edSecret", secret.Hint.c_str());
    lblSecret->setObjectName("lblSecret");
    edSecret->setEchoMode(QLineEdit::Password);
    edSecret->setPlaceholderText(Q(secret.Placeholder));
    if (!secret.Problem.empty()) {
        // Not a grey aside: the nightly mailing depends on it.
        lblSecret->setForegroundRole(QPalette::WindowText);
        lblSecret->setToolTip(Q(secret.Problem));
        edSecret->setToolTip(Q(secret.Problem));
    }
    row("Absender-Postfach", edSender, "edSender", "z. B. rechnung@muster-gmbh.de");
    row("Antwort an (optional)", edReplyTo, "edReplyTo", nullptr);
    row("BCC (optional)", edBcc, "edBcc", "z. B. Archivpostfach; mehrere mit ;");
    row("Testempfänger", edTest, "edTest", "gesetzt = ALLE Mails nur hierhin");
    // Red-tinted with dark text in both looks: test mode must catch the eye.
    edTest->setStyleSheet("QLineEdit { background: rgb(255, 240, 224); color: black; }");

    chkSent = new QCheckBox(QString::fromUtf8("In „Gesendete Elemente“ speichern"), this);
    chkSent->setObjectName("chkSent");
    chkXml = new QCheckBox(QString::fromUtf8("XML zusätzlich als eigene Datei anhängen"), this);
    chkXml->setObjectName("chkXml");
    auto* checks = new QHBoxLayout();
    checks->addWidget(chkSent);
    checks->addWidget(chkXml);
    checks->addStretch(1);
    form->addRow(QString(), checks);
    edSubject = new QLineEdit(this);
    edSubject->setObjectName("edSubject");
    form->addRow("Betreff", edSubject);
    rbHtml = new QRadioButton("HTML (mit HTML-Signatur)", this);
    rbHtml->setObjectName("rbHtml");
    rbText = new QRadioButton("Nur Text", this);
    rbText->setObjectName("rbText");
    auto* format = new QHBoxLayout();
    format->addWidget(rbHtml);
    format->addWidget(rbText);
    format->addStretch(1);
    form->addRow("Mailformat:", format);
    root->addLayout(form);

    Pages = new QTabWidget(this);
    Pages->setObjectName("Pages");
    auto* tsHtml = new QWidget(Pages);
    auto* htmlLayout = new QVBoxLayout(tsHtml);
    auto* htmlHint = new QLabel(Q(FPresenter.HtmlHint()), tsHtml);
    htmlHint->setForegroundRole(QPalette::PlaceholderText);
    htmlHint->setWordWrap(true);
    htmlLayout->addWidget(htmlHint);
    mmHtml = Editor("mmHtml", tsHtml);
    htmlLayout->addWidget(mmHtml);
    Pages->addTab(tsHtml, "HTML-Text");

    auto* tsSig = new QWidget(Pages);
    auto* sigLayout = new QVBoxLayout(tsSig);
    auto* sigButtons = new QHBoxLayout();
    auto addButton = [this](QHBoxLayout* layout, const char* caption, const char* name, auto action) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        layout->addWidget(button);
        return button;
    };
    addButton(sigButtons, "Aus Outlook übernehmen...", "btnOutlook", &TMailSettingsForm::ImportFromOutlook);
    addButton(sigButtons, "HTML-Datei laden...", "btnHtmlFile", &TMailSettingsForm::LoadHtmlFile);
    addButton(sigButtons, "Bild einfügen...", "btnImage", &TMailSettingsForm::InsertImage);
    addButton(sigButtons, "Standardsignatur", "btnStdSig", [this] { FPresenter.UseStandardSignature(); });
    sigButtons->addStretch(1);
    sigLayout->addLayout(sigButtons);
    mmSig = Editor("mmSig", tsSig);
    sigLayout->addWidget(mmSig);
    Pages->addTab(tsSig, "HTML-Signatur");

    auto* tsText = new QWidget(Pages);
    auto* textLayout = new QVBoxLayout(tsText);
    mmText = Editor("mmText", tsText);
    textLayout->addWidget(mmText);
    Pages->addTab(tsText, "Text-Mail");

    auto* tsPreview = new QWidget(Pages);
    auto* previewLayout = new QVBoxLayout(tsPreview);
    auto* previewBar = new QHBoxLayout();
    previewBar->addWidget(new QLabel("Mit Rechnung (leer = Beispieldaten):", tsPreview));
    edPreviewNo = new QLineEdit(tsPreview);
    edPreviewNo->setObjectName("edPreviewNo");
    edPreviewNo->setMaximumWidth(140);
    previewBar->addWidget(edPreviewNo);
    addButton(previewBar, "Aktualisieren", "btnRefresh", [this] { FPresenter.RefreshPreview(); });
    addButton(previewBar, "Im Browser öffnen", "btnBrowser", [this] { FPresenter.OpenInBrowser(); });
    previewBar->addStretch(1);
    previewLayout->addLayout(previewBar);
    Browser = new QTextBrowser(tsPreview);
    Browser->setObjectName("Browser");
    Browser->setOpenLinks(false);
    // Mail clients show the mail on white whatever the desktop's look.
    Browser->setStyleSheet("QTextBrowser { background: white; color: black; }");
    // The page's links get their colour from the document itself: Qt would give them the
    // look's link colour, made for a dark background.
    Browser->document()->setDefaultStyleSheet(QString("a[href] { color: %1; }").arg(kPaperLinkColour));
    previewLayout->addWidget(Browser);
    Pages->addTab(tsPreview, "Vorschau");
    root->addWidget(Pages, 1);

    auto* bottom = new QHBoxLayout();
    bottom->addWidget(new QLabel("Platzhalter einfügen:", this));
    cbPh = new QComboBox(this);
    cbPh->setObjectName("cbPh");
    cbPh->setMaxVisibleItems(25);
    for (const std::string& entry : TMailSettingsPresenter::PlaceholderEntries()) cbPh->addItem(Q(entry));
    cbPh->setCurrentIndex(-1);
    cbPh->setMinimumWidth(280);
    cbPh->setFocusPolicy(Qt::ClickFocus);
    bottom->addWidget(cbPh);
    addButton(bottom, "Verbindung testen", "btnTestConnection", [this] { FPresenter.TestConnection(); });
    addButton(bottom, "Testmail an Testempfänger", "btnTestMail", [this] { FPresenter.SendTestMail(); });
    bottom->addStretch(1);
    auto* save = addButton(bottom, "Speichern", "btnSave", &TMailSettingsForm::Save);
    save->setDefault(true);
    auto* cancel = new QPushButton("Abbrechen", this);
    cancel->setObjectName("btnCancel");
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(cancel);
    root->addLayout(bottom);

    connect(rbHtml, &QRadioButton::clicked, this, [this] { ShowFormatTab(); });
    connect(rbText, &QRadioButton::clicked, this, [this] { ShowFormatTab(); });
    connect(Pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 3) FPresenter.RefreshPreview();
    });
    connect(cbPh, &QComboBox::activated, this, [this](int index) { InsertPlaceholder(index); });
    for (QWidget* w : {static_cast<QWidget*>(edSubject), static_cast<QWidget*>(mmHtml), static_cast<QWidget*>(mmSig),
                       static_cast<QWidget*>(mmText)})
        w->installEventFilter(this);
}

void TMailSettingsForm::ShowFormatTab() { Pages->setCurrentIndex(rbHtml->isChecked() ? 0 : 2); }

bool TMailSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == edSubject) FPresenter.FocusEntered(mtSubject);
        if (watched == mmHtml) FPresenter.FocusEntered(mtHtml);
        if (watched == mmSig) FPresenter.FocusEntered(mtSignature);
        if (watched == mmText) FPresenter.FocusEntered(mtText);
    }
    return QDialog::eventFilter(watched, event);
}

QWidget* TMailSettingsForm::TextField(TMailTextField field) const {
    switch (field) {
        case mtSubject: return edSubject;
        case mtSignature: return mmSig;
        case mtText: return mmText;
        case mtHtml: break;
    }
    return mmHtml;
}

void TMailSettingsForm::InsertPlaceholder(int index) {
    if (index < 0) return;
    const QString text = Q(TMailSettingsPresenter::PlaceholderText(S(cbPh->itemText(index))));
    QWidget* target = TextField(FPresenter.LastFocus());
    // A hidden tab's editor cannot take the focus; show it first.
    for (int i = 0; i < Pages->count(); ++i)
        if (Pages->widget(i)->isAncestorOf(target)) Pages->setCurrentIndex(i);
    target->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(target))
        line->insert(text);
    else if (auto* editor = qobject_cast<QPlainTextEdit*>(target))
        editor->insertPlainText(text);
    cbPh->setCurrentIndex(-1);
}

void TMailSettingsForm::ShowValues(const TMailSettingsValues& v) {
    edTenant->setText(Q(v.Tenant));
    edClient->setText(Q(v.ClientId));
    edSecret->setText(Q(v.Secret));
    edSender->setText(Q(v.Sender));
    edReplyTo->setText(Q(v.ReplyTo));
    edBcc->setText(Q(v.Bcc));
    edTest->setText(Q(v.TestRecipient));
    edSubject->setText(Q(v.Subject));
    chkSent->setChecked(v.SaveToSent);
    chkXml->setChecked(v.AttachXml);
    (v.Html ? rbHtml : rbText)->setChecked(true);
    mmHtml->setPlainText(Q(v.BodyHtml));
    mmSig->setPlainText(Q(v.Signature));
    mmText->setPlainText(Q(v.BodyText));
}

TMailSettingsValues TMailSettingsForm::Values() const {
    TMailSettingsValues v;
    v.Tenant = S(edTenant->text());
    v.ClientId = S(edClient->text());
    v.Secret = S(edSecret->text());
    v.Sender = S(edSender->text());
    v.ReplyTo = S(edReplyTo->text());
    v.Bcc = S(edBcc->text());
    v.TestRecipient = S(edTest->text());
    v.Subject = S(edSubject->text());
    v.SaveToSent = chkSent->isChecked();
    v.AttachXml = chkXml->isChecked();
    v.Html = rbHtml->isChecked();
    v.BodyHtml = S(mmHtml->toPlainText());
    v.Signature = S(mmSig->toPlainText());
    v.BodyText = S(mmText->toPlainText());
    return v;
}

std::string TMailSettingsForm::PreviewInvoiceNo() const { return S(edPreviewNo->text()); }

std::optional<std::string> TMailSettingsForm::AskTestRecipient(const std::string& suggestion) {
    bool ok = false;
    const QString recipient = QInputDialog::getText(this, "Testmail", QString::fromUtf8("Empfänger der Testmail:"),
                                                    QLineEdit::Normal, Q(suggestion), &ok);
    if (!ok) return std::nullopt;
    return S(recipient);
}

void TMailSettingsForm::SetSignature(const std::string& html) { mmSig->setPlainText(Q(ReplaceAll(html, "\r\n", "\n"))); }

void TMailSettingsForm::InsertIntoSignature(const std::string& text) {
    Pages->setCurrentIndex(1);
    mmSig->setFocus();
    mmSig->insertPlainText(Q(text));
}

void TMailSettingsForm::ShowPreview(const TMailPreview& preview) {
    // The file is the exact view (a real browser); the pane resolves the file:// pictures.
    Browser->setSearchPaths({Q(ExtractFilePath(preview.File))});
    Browser->setHtml(Q(preview.Document));
}

void TMailSettingsForm::ImportFromOutlook() {
    const QString file = QFileDialog::getOpenFileName(this, "Outlook-Signatur wählen (.htm)",
                                                      Q(OutlookSignatureFolder()),
                                                      "Outlook-Signatur (*.htm *.html)");
    if (!file.isEmpty()) FPresenter.ImportFromOutlook(S(file));
}

void TMailSettingsForm::LoadHtmlFile() {
    const QString file = QFileDialog::getOpenFileName(this, QString(), QString(), "HTML (*.htm *.html)");
    if (!file.isEmpty()) FPresenter.LoadSignatureFile(S(file));
}

void TMailSettingsForm::InsertImage() {
    const QString file = QFileDialog::getOpenFileName(this, QString::fromUtf8("Bild für die Signatur (z. B. Logo)"),
                                                      QString(), "Bilder (*.png *.jpg *.jpeg *.gif)");
    if (!file.isEmpty()) FPresenter.InsertImage(S(file));
}

void TMailSettingsForm::Save() {
    if (FPresenter.Save()) accept();
}

} // namespace velkaro
