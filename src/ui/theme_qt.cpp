// Fusion palettes of both looks and the check-box images of the item views.
#include "ui/theme_qt.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace velkaro {

namespace {

bool gLight = false;

QPalette DarkPalette() {
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x1e), text(0xe8, 0xe8, 0xe8),
        button(0x3c, 0x3c, 0x40), disabled(0x80, 0x80, 0x80);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x29));
    p.setColor(QPalette::ToolTipBase, button);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x55));
    p.setColor(QPalette::Midlight, QColor(0x46, 0x46, 0x4a));
    p.setColor(QPalette::Mid, QColor(0x37, 0x37, 0x3a));
    p.setColor(QPalette::Dark, QColor(0x19, 0x19, 0x1b));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, ToQColor(ThemeColors(false).Accent));
    p.setColor(QPalette::HighlightedText, ToQColor(ThemeColors(false).AccentText));
    p.setColor(QPalette::Link, ToQColor(ThemeColors(false).DesignerAccent));
    p.setColor(QPalette::LinkVisited, ToQColor(ThemeColors(false).DesignerAccent));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x55, 0x55, 0x58));
    return p;
}

// Draws the check boxes of item views (the invoice list) as the program's own images.
class TCheckBoxStyle : public QProxyStyle {
public:
    explicit TCheckBoxStyle(QStyle* base) : QProxyStyle(base) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_IndicatorWidth || metric == PM_IndicatorHeight) return 16;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorItemViewItemCheck) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const QPixmap image = CheckBoxPixmap(option->state & State_On, ratio);
        const QSize size = image.deviceIndependentSize().toSize();
        const QRect r = option->rect;
        painter->drawPixmap(r.x() + (r.width() - size.width()) / 2, r.y() + (r.height() - size.height()) / 2, image);
    }
};

} // namespace

QColor ToQColor(TRgb rgb) { return QColor((rgb >> 16) & 0xff, (rgb >> 8) & 0xff, rgb & 0xff); }

void ApplyTheme(bool light) {
    if (!dynamic_cast<TCheckBoxStyle*>(QApplication::style()))
        QApplication::setStyle(new TCheckBoxStyle(QStyleFactory::create("Fusion")));
    gLight = light;
    QApplication::setPalette(light ? QApplication::style()->standardPalette() : DarkPalette());
}

bool IsLightStyle() { return gLight; }

QColor AccentColor() { return ToQColor(ThemeColors(gLight).Accent); }

QPixmap CheckBoxPixmap(bool checked, qreal devicePixelRatio) {
    const TCheckBoxGeometry g = CheckBoxGeometry(96.0 * devicePixelRatio);
    const TThemeColors& colors = ThemeColors(gLight);
    QPixmap image(g.Size, g.Size);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        const QColor fill = checked ? ToQColor(colors.Accent) : QApplication::palette().color(QPalette::Base);
        const QColor frame = checked ? ToQColor(colors.Accent) : ToQColor(colors.UncheckedFrame);
        p.fillRect(QRect(g.Margin, g.Margin, g.Side, g.Side), fill);
        p.setPen(QPen(frame, 1));
        p.drawRect(QRect(g.Margin, g.Margin, g.Side - 1, g.Side - 1));
        if (checked) {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(ToQColor(colors.AccentText), g.MarkWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            // Through the pixels' centres, so that the corners of the mark are solid white.
            QPointF mark[3];
            for (int i = 0; i < 3; ++i) mark[i] = QPointF(g.Mark[i].X + 0.5, g.Mark[i].Y + 0.5);
            p.drawPolyline(mark, 3);
        }
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon StatusIcon(TDocumentStatus status) {
    const TStatusColors& colors = StatusColors(gLight);
    const TRgb fill = status == dsFailed    ? colors.Failed
                      : status == dsTest || status == dsUnclear ? colors.Test
                      : status == dsSkipped ? colors.Skipped
                                            : colors.Done;
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap image(size, size);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        p.setPen(Qt::NoPen);
        p.setBrush(ToQColor(fill));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        switch (status) {
        case dsProduced:
        case dsSent: {
            const QPointF mark[3] = {{4.5, 8.2}, {7, 10.8}, {11.5, 5.3}};
            p.drawPolyline(mark, 3);
            break;
        }
        case dsTest:
            p.drawLine(QPointF(5, 5), QPointF(11, 5));
            p.drawLine(QPointF(8, 5), QPointF(8, 11.5));
            break;
        case dsSkipped: p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8)); break;
        case dsUnclear:  // an exclamation mark: look in the mailbox before sending again
            p.drawLine(QPointF(8, 4.2), QPointF(8, 9));
            p.drawPoint(QPointF(8, 12));
            break;
        case dsFailed:
            p.drawLine(QPointF(5.3, 5.3), QPointF(10.7, 10.7));
            p.drawLine(QPointF(10.7, 5.3), QPointF(5.3, 10.7));
            break;
        }
        p.end();
        icon.addPixmap(image);
    }
    return icon;
}

} // namespace velkaro
