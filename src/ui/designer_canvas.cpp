#include "ui/designer_canvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include "platform/files.h"
#include "ui/theme_qt.h"
#include "uimodel/designer_presenter.h"
#include "uimodel/theme.h"

namespace velkaro {

namespace {

QRect ToQRect(const TPixelRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

TPixelPoint ToPoint(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return {p.x(), p.y()};
}

} // namespace

TDesignerCanvas::TDesignerCanvas(TDesignerPresenter& presenter, QString fontFamily, QWidget* parent)
    : QWidget(parent), FPresenter(presenter), FFontFamily(std::move(fontFamily)) {
    setObjectName("pbPage");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    UpdateSize();
}

void TDesignerCanvas::UpdateSize() {
    const TPixelRect box = PaintBoxRect(FPresenter.PixelsPerMmNow());
    setFixedSize(box.Width(), box.Height());
    update();
}

const QImage& TDesignerCanvas::Background() {
    const std::string file = FPresenter.PicturePath(FPresenter.Layout().BackgroundFor(FPresenter.ShowFirst()));
    if (file.empty() || !FileExists(file)) {
        FBgCache = QImage();
        FBgKey.clear();
        return FBgCache;
    }
    const std::string key = file + "|" + std::to_string(FPresenter.PixelsPerMmNow());
    if (key != FBgKey) {
        FBgKey = key;
        ++FBgLoads;
        const TPixelRect page = PageRect(FPresenter.PixelsPerMmNow());
        const QImage picture = DecodePicture(file);
        if (picture.isNull()) {
            FBgCache = QImage();
        } else {
            FBgCache = QImage(page.Width(), page.Height(), QImage::Format_RGB888);
            FBgCache.fill(Qt::white);
            QPainter p(&FBgCache);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(QRect(0, 0, page.Width(), page.Height()), picture);
        }
    }
    return FBgCache;
}

void TDesignerCanvas::paintEvent(QPaintEvent*) {
    const double ppm = FPresenter.PixelsPerMmNow();
    const TThemeColors& colors = ThemeColors(IsLightStyle());
    QPainter p(this);
    p.fillRect(rect(), QColor(128, 128, 128));
    const QRect page = ToQRect(PageRect(ppm));
    p.fillRect(page.translated(4, 4), QColor(80, 80, 80));
    p.fillRect(page, Qt::white);
    const QImage& background = Background();
    if (!background.isNull()) p.drawImage(page.topLeft(), background);

    TElementPainter painter(p, ppm, FFontFamily, FPresenter.SampleValues(), FLogos,
                            [this](const std::string& name) { return FPresenter.PicturePath(name); });
    const TLayout& layout = FPresenter.Layout();
    const QColor accent = ToQColor(colors.Accent);
    const QColor designerAccent = ToQColor(colors.DesignerAccent);
    for (int i = 0; i < static_cast<int>(layout.Elements.size()); ++i) {
        const TLayoutElement& e = *layout.Elements[i];
        const bool selected = i == FPresenter.Selected();
        if (!e.OnPage(FPresenter.ShowFirst()) || !(e.Visible || selected)) continue;
        const QRect r = ToQRect(ElementRect(e, ppm));
        if (e.Visible) painter.Draw(e, r);
        if (selected) {
            p.setPen(QPen(accent, 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r);
            p.fillRect(QRect(QPoint(r.right() - 5, r.bottom() - 5), QPoint(r.right() + 4, r.bottom() + 4)), accent);
            QFont caption = font();
            caption.setPixelSize(11);
            caption.setBold(false);
            p.setFont(caption);
            p.drawText(r.left(), r.top() - 14 + QFontMetrics(caption).ascent(), QString::fromStdString(ElementCaption(e.Kind)));
        } else {
            p.setPen(QPen(designerAccent, 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
    }
}

void TDesignerCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus();
    FPresenter.MouseDown(ToPoint(event));
}

void TDesignerCanvas::mouseMoveEvent(QMouseEvent* event) {
    const TCanvasCursor cursor = FPresenter.MouseMove(ToPoint(event));
    setCursor(cursor == ccResize ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
}

void TDesignerCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const bool dragging = FPresenter.Drag() != dkNone;
    FPresenter.MouseUp();
    if (dragging) emit DragFinished();
}

} // namespace velkaro
