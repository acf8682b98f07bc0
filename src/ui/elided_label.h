#pragma once
// A one-line label that never widens its window: a text longer than the room it gets
// ends in "…" (the whole text is the tooltip).
#include <QLabel>

namespace velkaro {

class TElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    void SetFullText(const QString& text);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velkaro
