#pragma once
// The main window: search bar, accent strip, invoice list, action bar with the log
// pane, status bar and menu. It shows the presenter's state and forwards the user's
// actions; the logic lives in TMainPresenter.
#include <QMainWindow>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/qt_services.h"
#include "ui/session_end.h"
#include "uimodel/main_presenter.h"
#include "uimodel/main_session.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTableView;

namespace velkaro {

class TElidedLabel;
class TInvoiceTableModel;

inline constexpr const char* kMainWindowTitle = "ZUGFeRD-Rechnungen aus Navision";

class TMainForm : public QMainWindow, public TMainView, public TSessionEndHandler {
    Q_OBJECT
public:
    // Reads the settings file; connects when the window is shown for the first time.
    explicit TMainForm(const std::string& settingsFile, QWidget* parent = nullptr);
    ~TMainForm() override;

    TMainPresenter& Presenter() { return *FPresenter; }
    TMainSession& Session() { return FSession; }
    // Accent strip, grid lines and check-box images after a change of the look.
    void ApplyThemeColors();
    // The desktop ends: window state and user values saved, a run stops after its
    // current document; the log's further lines also go to standard error.
    void EndSession() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void SwitchTheme(bool light);
    void OpenDesigner();
    void ChooseOutDir();
    void RestoreWindowState();
    void SaveWindowState();
    void SyncSelection();
    // The list for daily work (main_form_list.cpp): the filters under the search field
    // (`column` of the search bar's grid), the ticked count and the row menu.
    void BuildListControls(QGridLayout* searchBar, int column);
    void WireList();
    // The menu key and Shift+F10 open the row menu of the current row.
    bool HandleListKey(QObject* watched, QEvent* event);
    void ShowRowMenu(int row, const QPoint& globalPos);
    void UpdateMarked();
    // Column "Rechnungsnr." wide enough for the warning mark of rows first..last.
    void FitNumberColumn(int first, int last);
    // Enabled while the presenter allows `command`.
    template <class TControl> TControl* Command(TMainCommand command, TControl* control);

    // TMainView
    void CompaniesChanged() override;
    void CountChanged() override;
    void RunStateChanged() override;
    void ProgressChanged() override;
    void StatusChanged() override;
    bool OpenMailSettings() override;
    bool OpenDatabaseSettings(const std::string& reason) override;

    TMainSession FSession;
    QComboBox* cbCompany = nullptr;
    QDateEdit* dtFrom = nullptr;
    QDateEdit* dtTo = nullptr;
    QLineEdit* edSearch = nullptr;
    QPushButton* btnSearch = nullptr;
    TElidedLabel* lblCount = nullptr;
    QFrame* pnAccent = nullptr;
    QTableView* lvInvoices = nullptr;
    QPushButton* btnAll = nullptr;
    QPushButton* btnGenerate = nullptr;
    QPushButton* btnMail = nullptr;
    QPlainTextEdit* mmLog = nullptr;
    QSplitter* FSplitter = nullptr;
    QLabel* FStatus[3] = {};
    QProgressBar* FProgress = nullptr;
    QPushButton* btnCancel = nullptr;
    QAction* miXml = nullptr;
    QAction* miOpenPdf = nullptr;
    QAction* miSkinDark = nullptr;
    QAction* miSkinLight = nullptr;
    QCheckBox* chkUnsent = nullptr;
    QCheckBox* chkFindings = nullptr;
    QLabel* lblMarked = nullptr;
    QMenu* mnRow = nullptr;
    int FMenuRow = -1;  // the row the context menu was opened for
    std::unique_ptr<TQtServices> FServices;
    std::unique_ptr<TMainPresenter> FPresenter;
    TInvoiceTableModel* FModel = nullptr;
    std::vector<std::pair<QObject*, TMainCommand>> FCommands;
    bool FShown = false;
    bool FUpdating = false;
};

} // namespace velkaro
