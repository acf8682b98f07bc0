#pragma once
// The two looks in Qt: Fusion with the platform palette (light) or a complete dark
// palette with orange accents, and the invoice list's check boxes drawn at the
// screen's scale. Switching repaints every open window.
#include <QColor>
#include <QIcon>
#include <QPixmap>

#include "app/document_run.h"
#include "uimodel/theme.h"

namespace velkaro {

QColor ToQColor(TRgb rgb);
// Sets the Fusion style (once) and the palette of the look for the whole application.
void ApplyTheme(bool light);
// The look ApplyTheme set last.
bool IsLightStyle();
QColor AccentColor();
// One check-box image for a screen with `devicePixelRatio` device pixels per pixel.
QPixmap CheckBoxPixmap(bool checked, qreal devicePixelRatio);
// The status column's icon of an outcome in the current look: a filled circle with a
// check mark (produced, sent), "T" (test), a dash (skipped) or a cross (failed).
QIcon StatusIcon(TDocumentStatus status);

} // namespace velkaro
