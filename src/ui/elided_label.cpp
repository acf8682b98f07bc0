#include "ui/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace velkaro {

void TElidedLabel::SetFullText(const QString& text) {
    setText(text);
    setToolTip(text);
}

QSize TElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void TElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, static_cast<int>(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

} // namespace velkaro
