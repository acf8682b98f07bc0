// The database connection dialog's widgets and their wiring to the presenter.
#include "ui/database_settings_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/theme_qt.h"

namespace velkaro {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.trimmed().toStdString(); }

// The busy cursor while a button's action runs.
struct TWaitCursor {
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

QLineEdit* Edit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMinimumWidth(320);
    return edit;
}

struct TRadio {
    QRadioButton** Button;
    const char* Name;
    const char* Caption;
};

// Two radio buttons of one choice side by side (one choice per parent widget).
QHBoxLayout* RadioPair(QWidget* parent, TRadio first, TRadio second) {
    auto* row = new QHBoxLayout;
    for (const TRadio& radio : {first, second}) {
        *radio.Button = new QRadioButton(QString::fromUtf8(radio.Caption), parent);
        (*radio.Button)->setObjectName(radio.Name);
        row->addWidget(*radio.Button);
    }
    row->addStretch(1);
    return row;
}

// Shown text and stored value of a choice.
void AddChoices(QComboBox* box, std::initializer_list<std::pair<const char*, const char*>> choices) {
    for (const auto& [text, value] : choices) box->addItem(QString::fromUtf8(text), QString::fromUtf8(value));
}

void SelectData(QComboBox* box, const std::string& value) {
    const int index = box->findData(Q(value));
    box->setCurrentIndex(index >= 0 ? index : 0);
}

} // namespace

bool TDatabaseSettingsForm::Execute(QWidget* owner, TSettings& settings, const std::string& reason) {
    TDatabaseSettingsForm form(owner, settings, reason);
    return form.exec() == QDialog::Accepted;
}

TDatabaseSettingsForm::TDatabaseSettingsForm(QWidget* owner, TSettings& settings, const std::string& reason,
                                             std::unique_ptr<TDatabaseProbe> probe)
    : QDialog(owner), FProbe(std::move(probe)), FPresenter(settings, *FProbe) {
    setWindowTitle(QString::fromUtf8(kDatabaseDialogTitle));
    setObjectName("TDatabaseSettingsForm");
    BuildControls(reason);
    ShowValues(FPresenter.InitialValues());
    UpdateEnabled();
}

TDatabaseSettingsForm::~TDatabaseSettingsForm() = default;

void TDatabaseSettingsForm::BuildControls(const std::string& reason) {
    auto* root = new QVBoxLayout(this);
    lblReason = new QLabel(this);
    lblReason->setObjectName("lblReason");
    lblReason->setWordWrap(true);
    if (reason.empty()) {
        lblReason->setText(QString::fromUtf8("Verbindung zur NAV-Datenbank: eine SQLite-Datei (Demo, Test) oder "
                                             "Microsoft SQL Server über ODBC. Gespeichert wird im Abschnitt "
                                             "[Datenbank] der Einstellungsdatei; Kommentare bleiben erhalten."));
    } else {
        lblReason->setText(Q(reason));
        QFont bold = lblReason->font();
        bold.setBold(true);
        lblReason->setFont(bold);
    }
    root->addWidget(lblReason);

    root->addLayout(RadioPair(this, {&rbSqlServer, "rbSqlServer", "Microsoft &SQL Server (ODBC)"},
                              {&rbSqlite, "rbSqlite", "SQLite-&Datenbankdatei"}));

    gbServer = new QGroupBox(QString::fromUtf8("SQL Server"), this);
    gbServer->setObjectName("gbServer");
    auto* form = new QFormLayout(gbServer);
    edServer = Edit("edServer", gbServer);
    edServer->setPlaceholderText(QString::fromUtf8("Server, Server,Port oder Server\\Instanz"));
    form->addRow(QString::fromUtf8("Ser&ver"), edServer);
    edDatabase = Edit("edDatabase", gbServer);
    edDatabase->setPlaceholderText(QString::fromUtf8("Name der NAV-Datenbank"));
    form->addRow(QString::fromUtf8("Date&nbank"), edDatabase);
    cbDriver = new QComboBox(gbServer);
    cbDriver->setObjectName("cbDriver");
    form->addRow(QString::fromUtf8("&ODBC-Treiber"), cbDriver);
    form->addRow(QString::fromUtf8("Anmeldung"),
                 RadioPair(gbServer, {&rbSqlLogin, "rbSqlLogin", "SQL-Anmeldung"},
                           {&rbWindows, "rbWindows", "Windows-Anmeldung (Kerberos)"}));
    edUser = Edit("edUser", gbServer);
    form->addRow(QString::fromUtf8("&Benutzer"), edUser);
    edPassword = Edit("edPassword", gbServer);
    edPassword->setEchoMode(QLineEdit::Password);
    edPassword->setToolTip(QString::fromUtf8("verschlüsselt gespeichert (Benutzerschlüssel)"));
    form->addRow(QString::fromUtf8("&Passwort"), edPassword);
    cbEncryption = new QComboBox(gbServer);
    cbEncryption->setObjectName("cbEncryption");
    AddChoices(cbEncryption, {{"wie der Treiber es vorgibt", ""}, {"aus", "aus"}, {"ja", "ja"}, {"streng", "streng"}});
    form->addRow(QString::fromUtf8("&Verschlüsselung"), cbEncryption);
    cbTrust = new QComboBox(gbServer);
    cbTrust->setObjectName("cbTrust");
    AddChoices(cbTrust, {{"wie der Treiber es vorgibt", ""}, {"prüfen", "0"}, {"ohne Prüfung vertrauen", "1"}});
    form->addRow(QString::fromUtf8("Server&zertifikat"), cbTrust);
    root->addWidget(gbServer);

    auto* fileBox = new QGroupBox(QString::fromUtf8("SQLite"), this);
    auto* fileRow = new QHBoxLayout(fileBox);
    fileRow->addWidget(new QLabel(QString::fromUtf8("Datei"), fileBox));
    edFile = Edit("edFile", fileBox);
    edFile->setPlaceholderText(QString::fromUtf8("relativ: neben der Einstellungsdatei"));
    fileRow->addWidget(edFile, 1);
    btnBrowse = new QPushButton(QString::fromUtf8("Durchsuchen…"), fileBox);
    btnBrowse->setObjectName("btnBrowse");
    fileRow->addWidget(btnBrowse);
    root->addWidget(fileBox);

    btnTest = new QPushButton(QString::fromUtf8("Verbindung &testen"), this);
    btnTest->setObjectName("btnTest");
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(btnTest);
    testRow->addStretch(1);
    root->addLayout(testRow);
    mmResult = new QPlainTextEdit(this);
    mmResult->setObjectName("mmResult");
    mmResult->setReadOnly(true);
    mmResult->setPlaceholderText(QString::fromUtf8("Ergebnis des Verbindungstests"));
    mmResult->setMinimumHeight(110);
    // The version lines align their colons, as in the about dialog.
    mmResult->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    root->addWidget(mmResult, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText("Speichern");
    buttons->button(QDialogButtonBox::Save)->setObjectName("btnSave");
    buttons->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
    root->addWidget(buttons);

    for (QRadioButton* b : {rbSqlite, rbSqlServer, rbSqlLogin, rbWindows})
        connect(b, &QRadioButton::toggled, this, [this] { UpdateEnabled(); });
    connect(btnTest, &QPushButton::clicked, this, [this] { TestConnection(); });
    connect(btnBrowse, &QPushButton::clicked, this, [this] { BrowseFile(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { Save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(640, 620);
}

void TDatabaseSettingsForm::ShowValues(const TDatabaseDialogValues& v) {
    (v.Sqlite ? rbSqlite : rbSqlServer)->setChecked(true);
    edFile->setText(Q(v.File));
    edServer->setText(Q(v.Server));
    edDatabase->setText(Q(v.Database));
    for (const std::string& driver : FPresenter.DriverChoices(v.Driver))
        cbDriver->addItem(driver.empty() ? QString::fromUtf8("(automatisch wählen)") : Q(driver), Q(driver));
    SelectData(cbDriver, v.Driver);
    (v.SqlLogin ? rbSqlLogin : rbWindows)->setChecked(true);
    edUser->setText(Q(v.User));
    edPassword->setText(Q(v.Password));
    SelectData(cbEncryption, v.Encryption);
    SelectData(cbTrust, v.TrustCertificate);
}

TDatabaseDialogValues TDatabaseSettingsForm::Values() const {
    TDatabaseDialogValues v;
    v.Sqlite = rbSqlite->isChecked();
    v.File = S(edFile->text());
    v.Server = S(edServer->text());
    v.Database = S(edDatabase->text());
    v.Driver = cbDriver->currentData().toString().toStdString();
    v.SqlLogin = rbSqlLogin->isChecked();
    v.User = S(edUser->text());
    v.Password = edPassword->text().toStdString();
    v.Encryption = cbEncryption->currentData().toString().toStdString();
    v.TrustCertificate = cbTrust->currentData().toString().toStdString();
    return v;
}

void TDatabaseSettingsForm::UpdateEnabled() {
    const bool sqlite = rbSqlite->isChecked();
    gbServer->setEnabled(!sqlite);
    edFile->setEnabled(sqlite);
    btnBrowse->setEnabled(sqlite);
    edUser->setEnabled(rbSqlLogin->isChecked());
    edPassword->setEnabled(rbSqlLogin->isChecked());
}

void TDatabaseSettingsForm::ShowResult(const std::string& text, bool error) {
    QPalette palette = mmResult->palette();
    palette.setColor(QPalette::Text, error ? ToQColor(StatusColors(IsLightStyle()).Failed)
                                           : QApplication::palette().color(QPalette::Text));
    mmResult->setPalette(palette);
    mmResult->setPlainText(Q(text));
}

void TDatabaseSettingsForm::TestConnection() {
    TWaitCursor wait;
    ShowResult("Verbindung wird geprüft …", false);
    QCoreApplication::processEvents();
    try {
        ShowResult(FPresenter.TestConnection(Values()), false);
    } catch (const std::exception& e) {
        ShowResult(e.what(), true);
    }
}

void TDatabaseSettingsForm::Save() {
    try {
        FPresenter.Save(Values());
    } catch (const std::exception& e) {
        ShowResult(e.what(), true);
        return;
    }
    accept();
}

void TDatabaseSettingsForm::BrowseFile() {
    const QString file = QFileDialog::getOpenFileName(this, QString::fromUtf8("SQLite-Datenbankdatei wählen"),
                                                      edFile->text(),
                                                      QString::fromUtf8("SQLite-Datenbanken (*.db *.sqlite);;Alle Dateien (*)"));
    if (!file.isEmpty()) edFile->setText(file);
}

} // namespace velkaro
