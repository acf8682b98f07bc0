#pragma once
// The about dialog: header band with icon and vendor short name, version, the vendor's
// contact block with links, and the system report that can be copied for support. The
// texts come from TAboutPresenter; this dialog lays them out.
#include <QDialog>
#include <string>

#include "ui/qt_services.h"
#include "uimodel/about_presenter.h"

class QPlainTextEdit;

namespace velkaro {

class TNavData;
class TSettings;

class TAboutForm : public QDialog, public TAboutView {
    Q_OBJECT
public:
    // `data` may be null: the report then has no NAV lines.
    static void Execute(QWidget* owner, const TSettings& settings, const std::string& company, TNavData* data);

    TAboutForm(QWidget* owner, const TSettings& settings, const std::string& company, TNavData* data);

    QString Report() const;
    // "Systeminfo kopieren": the report into the clipboard, with a message.
    void CopyReport() { FPresenter.CopyReport(); }

    void CopyToClipboard(const std::string& text) override;

private:
    TQtServices FServices;
    TAboutPresenter FPresenter;
    QPlainTextEdit* FInfo = nullptr;
};

} // namespace velkaro
