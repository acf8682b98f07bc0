// Qt forms of the window services.
#include "ui/qt_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QUrl>
#include <cstdio>

#include "uimodel/text_editor.h"

namespace velkaro {

void TQtServices::AppendLogLine(const std::string& line) {
    if (FEcho) std::fprintf(stderr, "Velkaro: %s\n", line.c_str());
    if (!FLog) return;
    FLog->appendPlainText(QString::fromStdString(line));
    FLog->verticalScrollBar()->setValue(FLog->verticalScrollBar()->maximum());
}

void TQtServices::Inform(const std::string& text) {
    QMessageBox::information(&FOwner, QStringLiteral("Information"), QString::fromStdString(text));
}

void TQtServices::Error(const std::string& text) {
    QMessageBox::critical(&FOwner, QStringLiteral("Fehler"), QString::fromStdString(text));
}

bool TQtServices::Ask(const std::string& text) {
    return QMessageBox::question(&FOwner, QStringLiteral("Bestätigung"), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TQtServices::BeginBusy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void TQtServices::EndBusy() { QApplication::restoreOverrideCursor(); }
void TQtServices::ProcessPendingEvents() { QCoreApplication::processEvents(); }

void TQtServices::OpenPath(const std::string& path) {
    const std::vector<std::string> command = TextEditorCommand(path, qgetenv("VISUAL").toStdString(),
                                                               qgetenv("EDITOR").toStdString());
    if (!command.empty()) {
        QStringList args;
        for (size_t i = 1; i < command.size(); ++i) args << QString::fromStdString(command[i]);
        if (QProcess::startDetached(QString::fromStdString(command[0]), args)) return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

} // namespace velkaro
