#pragma once
// The layout designer window: the element list and property panel on the left, the
// page in the middle, the live view of the real PDF on the right (a splitter between
// them; sizes remembered). It shows the presenter's state and forwards the user's
// actions; the logic lives in TDesignerPresenter. At the end of the desktop session it
// keeps unsaved changes in a recovery copy and closes without asking.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "ui/session_end.h"
#include "uimodel/designer_inputs.h"
#include "uimodel/designer_presenter.h"
#include "uimodel/designer_view.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSplitter;
class QTimer;

namespace velkaro {

class TDesignerCanvas;
class TPdfLiveView;
class TQtServices;
class TSettings;
class TNavData;

inline constexpr const char* kDesignerTitle = "Rechnungslayout / Briefpapier";

class TDesignerForm : public QDialog, public TDesignerView, public TSessionEndHandler {
    Q_OBJECT
public:
    // The settings are only read, except that "Speichern" hands them the saved layout.
    // A recovery copy of the layout file is offered before the window shows.
    TDesignerForm(QWidget* owner, TSettings& settings, TNavData& data, const std::string& company,
                  const TPreviewDocument& preview);
    ~TDesignerForm() override;

    // Shows the designer modally; true when it was closed by "Speichern".
    static bool Execute(QWidget* owner, TSettings& settings, TNavData& data, const std::string& company,
                        const TPreviewDocument& preview);

    // TSessionEndHandler: unsaved changes go into the recovery copy; closes without asking.
    void EndSession() override;

    TDesignerPresenter& Presenter() { return *FPresenter; }
    TDesignerCanvas& Canvas() { return *FCanvas; }
    TPdfLiveView& LiveView() { return *FLiveView; }
    // The file dialogs; tests put a function in their place.
    std::function<QString(const QString& title)> ChooseFile;
    // Milliseconds the last live-view refresh took (generation and drawing).
    qint64 LastLiveRefreshMs() const { return FLastLiveMs; }

public slots:
    void reject() override;
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildLeftPanel();
    QWidget* BuildTopPanel();
    QWidget* BuildBottomPanel();
    QWidget* BuildLivePane();
    void RestoreWindowState();
    void SaveWindowState();
    void TakeBackgrounds();
    void InsertPlaceholder(int index);
    void ScheduleLiveView();
    void RefreshLiveView();
    void UpdateUndoButtons();

    // TDesignerView
    void ElementListChanged() override;
    void SelectionChanged() override;
    void PageChanged() override;
    void ZoomChanged() override;
    void BackgroundsChanged() override;
    void CanvasChanged() override;
    void LayoutEdited() override;

    TSettings& FSettings;
    std::unique_ptr<TDesignerDocuments> FDocuments;
    std::unique_ptr<TQtServices> FServices;
    std::unique_ptr<TViewServices> FViewServices;
    std::unique_ptr<TDesignerPresenter> FPresenter;
    std::string FFontFamily;
    bool FUpdating = true;
    bool FClosing = false;
    qint64 FLastLiveMs = 0;

    QLineEdit* edBgFirst = nullptr;
    QLineEdit* edBgFollow = nullptr;
    QPushButton* btnBgFirst = nullptr;
    QPushButton* btnBgFirstClear = nullptr;
    QPushButton* btnBgFollow = nullptr;
    QPushButton* btnBgFollowClear = nullptr;
    QCheckBox* chkSame = nullptr;
    QListWidget* lbElements = nullptr;
    QPushButton* btnAddText = nullptr;
    QPushButton* btnDelete = nullptr;
    QLineEdit* edX = nullptr;
    QLineEdit* edY = nullptr;
    QLineEdit* edW = nullptr;
    QLineEdit* edH = nullptr;
    QLineEdit* edSize = nullptr;
    QCheckBox* chkBold = nullptr;
    QCheckBox* chkVisible = nullptr;
    QComboBox* cbScope = nullptr;
    QComboBox* cbAlign = nullptr;
    QLineEdit* edFile = nullptr;
    QPushButton* btnFile = nullptr;
    QLabel* lblHelp = nullptr;
    QPlainTextEdit* mmText = nullptr;
    QComboBox* cbPlaceholder = nullptr;
    QRadioButton* rbFirst = nullptr;
    QRadioButton* rbFollow = nullptr;
    QComboBox* cbZoom = nullptr;
    QCheckBox* chkLive = nullptr;
    QPushButton* btnUndo = nullptr;
    QPushButton* btnRedo = nullptr;
    QLineEdit* edPreviewNo = nullptr;
    QScrollArea* sbPage = nullptr;
    TDesignerCanvas* FCanvas = nullptr;
    QSplitter* FSplitter = nullptr;
    QWidget* FLivePane = nullptr;
    QComboBox* cbLiveZoom = nullptr;
    QScrollArea* FLiveArea = nullptr;
    TPdfLiveView* FLiveView = nullptr;
    QTimer* FLiveTimer = nullptr;
};

} // namespace velkaro
