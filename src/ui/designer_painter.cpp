#include "ui/designer_painter.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "media/image_decode.h"
#include "platform/bidi.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A line of sample text in the direction the PDF gives it (that of its first strong
// character, platform/bidi.h), so the canvas orders right-to-left words as the print
// does; left and right stay left and right whatever the direction.
int LineFlags(const QString& text) {
    const bool rtl = IsRightToLeftLine(Utf8ToUtf32(text.toStdString()));
    return (rtl ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight) | Qt::AlignAbsolute;
}

Qt::Alignment HorizontalOf(TBlockAlign align) {
    switch (align) {
    case baCenter: return Qt::AlignHCenter;
    case baRight: return Qt::AlignRight;
    default: return Qt::AlignLeft;
    }
}

} // namespace

QImage DecodePicture(const std::string& file) {
    try {
        TRgbImage rgb = DecodeImageFileToRgb(file);
        QImage image(rgb.Pixels.data(), rgb.Width, rgb.Height, rgb.Width * 3, QImage::Format_RGB888);
        return image.copy();  // detach from the decoder's buffer
    } catch (const std::exception&) {
        return {};
    }
}

const QImage& TLogoCache::Picture(const std::string& file) {
    if (file != FFile) {
        FFile = file;
        FImage = FileExists(file) ? DecodePicture(file) : QImage();
    }
    return FImage;
}

int TElementPainter::Px(double mm) const { return static_cast<int>(std::nearbyint(mm * FZoom)); }

QFont TElementPainter::FontOf(double points, bool bold) const {
    QFont font(FFamily);
    font.setPixelSize(std::max(1, static_cast<int>(std::nearbyint(points * 25.4 / 72 * FZoom))));
    font.setBold(bold);
    return font;
}

int TElementPainter::Row(double factor, double points) const {
    return std::max(1, static_cast<int>(std::nearbyint(factor * points * FZoom)));
}

void TElementPainter::Draw(const TLayoutElement& e, const QRect& rect) {
    P.save();
    P.setClipRect(rect);
    P.setPen(Qt::black);
    switch (e.Kind) {
    case ekLogo: DrawLogo(e, rect); break;
    case ekInfo: DrawInfo(e, rect); break;
    case ekTable:
    case ekFollowTable: DrawTable(e, rect); break;
    case ekFooter: DrawFooter(e, rect); break;
    default: DrawTextBlock(e, rect); break;
    }
    P.restore();
}

void TElementPainter::DrawLogo(const TLayoutElement& e, const QRect& r) {
    if (Trim(e.FileName).empty()) {
        QFont font(FFamily);
        font.setPointSizeF(10);
        font.setBold(true);
        P.setFont(font);
        P.setPen(QColor(128, 128, 128));
        P.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, QString::fromUtf8("LOGO\n(Datei wählen)"));
        return;
    }
    const QImage& picture = FLogos.Picture(FPicturePath(e.FileName));
    if (picture.isNull()) {
        QFont font(FFamily);
        font.setPointSizeF(9);
        P.setFont(font);
        P.setPen(Qt::red);
        P.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromUtf8("Bild nicht lesbar"));
        return;
    }
    const TMmRect box = LogoPlacement(e, picture.width(), picture.height());
    const QRect target(r.left() + Px(box.X - e.X), r.top(), Px(box.W), Px(box.H));
    P.setRenderHint(QPainter::SmoothPixmapTransform);
    P.drawImage(target, picture);
}

void TElementPainter::DrawInfo(const TLayoutElement& e, const QRect& r) {
    const QFont font = FontOf(e.FontSize, e.Bold);
    P.setFont(font);
    const int row = Row(kInfoLineFactor, e.FontSize);
    int y = r.top();
    for (const TLabelValue& line : ExpandLabelValueLines(e.Text, FCtx)) {
        const QRect rowRect(r.left(), y, r.width(), row);
        P.drawText(rowRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | LineFlags(Q(line.Label)),
                   Q(line.Label));
        P.drawText(rowRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine | LineFlags(Q(line.Value)),
                   Q(line.Value));
        y += row;
    }
}

void TElementPainter::DrawTable(const TLayoutElement& e, const QRect& r) {
    const int band = Px(6);
    P.fillRect(QRect(r.left(), r.top(), r.width(), band), QColor(230, 230, 230));
    P.setFont(FontOf(e.FontSize, true));
    std::vector<std::string> heads = SplitCells(e.Text);
    heads.resize(8);
    // Positions as the PDF's table: a reference width of 175 mm, at least 100 mm wide.
    const double tableWidth = std::max(e.W, 100.0);
    for (size_t i = 0; i < heads.size(); ++i) {
        const QString head = Q(ExpandPlaceholders(heads[i], FCtx).Text);
        const int x = r.left() + Px(kTableColumnHeads[i].Offset * tableWidth / kTableReferenceWidth);
        const int width = P.fontMetrics().horizontalAdvance(head);
        const QRect cell(kTableColumnHeads[i].EndsThere ? x - width : x, r.top(), width + 1, band);
        P.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | LineFlags(head), head);
    }
    P.setPen(QColor(224, 224, 224));
    const double step = e.FontSize * kTableLineFactor + 2;
    for (double mm = 10; mm <= e.H - 8; mm += step) P.drawLine(r.left(), r.top() + Px(mm), r.right(), r.top() + Px(mm));
    QFont note = FontOf(9, true);
    P.setFont(note);
    P.setPen(QColor(144, 144, 144));
    P.drawText(QRect(r.left(), r.bottom() - Px(8), r.width(), Px(8)), Qt::AlignCenter | Qt::TextWordWrap,
               QString::fromUtf8("Positionen · Summen · Zahlungsbedingungen (Fließbereich, Seitenumbruch am unteren "
                                 "Rand)"));
}

void TElementPainter::DrawFooter(const TLayoutElement& e, const QRect& r) {
    P.setPen(QColor(150, 150, 150));
    P.drawLine(r.left(), r.top(), r.right(), r.top());
    P.setPen(QColor(70, 70, 70));
    P.setFont(FontOf(e.FontSize, e.Bold));
    const int row = Row(kColumnLineFactor, e.FontSize);
    int y = r.top() + static_cast<int>(std::nearbyint(0.8 * FZoom));
    for (const std::vector<std::string>& cells : ExpandCellLines(e.Text, FCtx)) {
        const double columnWidth = r.width() / static_cast<double>(cells.size());
        for (size_t i = 0; i < cells.size(); ++i) {
            if (cells[i].empty()) continue;
            const QRect cellRect(r.left() + static_cast<int>(i * columnWidth), y, static_cast<int>(columnWidth), row);
            P.drawText(cellRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | LineFlags(Q(cells[i])),
                       Q(cells[i]));
        }
        y += row;
    }
}

int TElementPainter::WrappedText(const QString& text, const QFont& font, const QRect& r, int y, int rowHeight,
                                 TBlockAlign align) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    std::vector<QString> pieces;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(r.width());
        pieces.push_back(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    if (pieces.empty()) pieces.emplace_back();
    P.setFont(font);
    for (const QString& piece : pieces) {
        P.drawText(QRect(r.left(), y, r.width(), rowHeight),
                   HorizontalOf(align) | Qt::AlignVCenter | Qt::TextSingleLine | LineFlags(piece), piece);
        y += rowHeight;
    }
    return y;
}

void TElementPainter::DrawTextBlock(const TLayoutElement& e, const QRect& r) {
    const std::vector<std::string> lines = ExpandTextBlock(e.Text, FCtx);
    if (e.Kind == ekSenderLine) P.setPen(QColor(90, 90, 90));
    if (e.Kind == ekPageNo) P.setPen(QColor(70, 70, 70));
    int y = r.top();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (e.Kind == ekTitle && i >= 1) {
            // The title's further lines are small, from 2 mm below its first row.
            if (i == 1) y = r.top() + Row(kTextLineFactor, e.FontSize) + Px(2);
            y = WrappedText(Q(lines[i]), FontOf(8.5, false), r, y, Row(kTextLineFactor, 8.5), e.Align);
            continue;
        }
        y = WrappedText(Q(lines[i]), FontOf(e.FontSize, e.Bold), r, y, Row(kTextLineFactor, e.FontSize), e.Align);
    }
    if (e.Kind == ekSenderLine) {
        P.setPen(QColor(150, 150, 150));
        const int ruleY = r.top() + Px(e.FontSize * 25.4 / 72 * 0.8 + 1.2);
        P.drawLine(r.left(), ruleY, r.right(), ruleY);
    }
}

} // namespace velkaro
