#pragma once
// Writing a window's picture for the screenshot tools.
#include <QCoreApplication>
#include <QString>
#include <QWidget>
#include <cstdio>

namespace velkaro {

// The window as it looks now (pending paints done) as folder/name.png.
inline void SaveScreenshot(QWidget& window, const QString& folder, const QString& name) {
    QCoreApplication::processEvents();
    const QString file = folder + "/" + name + ".png";
    if (!window.grab().save(file)) std::fprintf(stderr, "kann %s nicht schreiben\n", qPrintable(file));
}

} // namespace velkaro
