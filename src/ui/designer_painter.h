#pragma once
// The designer's on-screen page: each element drawn as an approximation of the PDF with
// sample values, at the zoom of the canvas. The PDF preview stays the exact view.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>

#include "invoice/placeholders.h"
#include "layoutmodel/layout_model.h"

class QPainter;

namespace velkaro {

// Decoded pictures of the logo, kept while the file name stays the same.
class TLogoCache {
public:
    // The picture, or a null image when it cannot be read.
    const QImage& Picture(const std::string& file);

private:
    std::string FFile;
    QImage FImage;
};

class TElementPainter {
public:
    TElementPainter(QPainter& painter, double pixelsPerMm, const QString& fontFamily, const TPlaceholderContext& sample,
                    TLogoCache& logos, std::function<std::string(const std::string&)> picturePath)
        : P(painter), FZoom(pixelsPerMm), FFamily(fontFamily), FCtx(sample), FLogos(logos),
          FPicturePath(std::move(picturePath)) {}

    // The element's content inside `rect`, clipped to it.
    void Draw(const TLayoutElement& e, const QRect& rect);

private:
    int Px(double mm) const;
    QFont FontOf(double points, bool bold) const;
    int Row(double factor, double points) const;
    void DrawLogo(const TLayoutElement& e, const QRect& r);
    void DrawInfo(const TLayoutElement& e, const QRect& r);
    void DrawTable(const TLayoutElement& e, const QRect& r);
    void DrawFooter(const TLayoutElement& e, const QRect& r);
    void DrawTextBlock(const TLayoutElement& e, const QRect& r);
    // Draws `text` wrapped into the width of r from y on; returns the y below it.
    int WrappedText(const QString& text, const QFont& font, const QRect& r, int y, int rowHeight, TBlockAlign align);

    QPainter& P;
    double FZoom;
    QString FFamily;
    const TPlaceholderContext& FCtx;
    TLogoCache& FLogos;
    std::function<std::string(const std::string&)> FPicturePath;
};

// Any picture file through the program's own decoders (as the PDF reads it).
QImage DecodePicture(const std::string& file);

} // namespace velkaro
