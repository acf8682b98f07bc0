#pragma once
// The database connection dialog: SQLite file or SQL Server (server, database, ODBC
// driver, sign-in, encryption, certificate), "Verbindung testen" and saving. The logic
// lives in TDatabaseSettingsPresenter; this dialog shows its values and forwards clicks.
#include <QDialog>
#include <memory>
#include <string>

#include "uimodel/database_settings_presenter.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace velkaro {

inline constexpr const char* kDatabaseDialogTitle = "Datenbankverbindung";

class TDatabaseSettingsForm : public QDialog {
    Q_OBJECT
public:
    // `reason`: the explaining line at the top (why the dialog opened by itself); empty
    // for the general hint. True exactly when the user saved.
    static bool Execute(QWidget* owner, TSettings& settings, const std::string& reason);

    TDatabaseSettingsForm(QWidget* owner, TSettings& settings, const std::string& reason,
                          std::unique_ptr<TDatabaseProbe> probe = NavDatabaseProbe());
    ~TDatabaseSettingsForm() override;

    TDatabaseDialogValues Values() const;
    // The actions of the buttons, for the window tests as well.
    void TestConnection();
    void Save();

    QLabel* lblReason = nullptr;
    QRadioButton* rbSqlite = nullptr;
    QRadioButton* rbSqlServer = nullptr;
    QLineEdit* edFile = nullptr;
    QPushButton* btnBrowse = nullptr;
    QGroupBox* gbServer = nullptr;
    QLineEdit* edServer = nullptr;
    QLineEdit* edDatabase = nullptr;
    QComboBox* cbDriver = nullptr;
    QRadioButton* rbSqlLogin = nullptr;
    QRadioButton* rbWindows = nullptr;
    QLineEdit* edUser = nullptr;
    QLineEdit* edPassword = nullptr;
    QComboBox* cbEncryption = nullptr;
    QComboBox* cbTrust = nullptr;
    QPushButton* btnTest = nullptr;
    QPlainTextEdit* mmResult = nullptr;

private:
    void BuildControls(const std::string& reason);
    void ShowValues(const TDatabaseDialogValues& values);
    void UpdateEnabled();
    void ShowResult(const std::string& text, bool error);
    void BrowseFile();

    std::unique_ptr<TDatabaseProbe> FProbe;
    TDatabaseSettingsPresenter FPresenter;
};

} // namespace velkaro
