#include "ui/pdf_live_view.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPdfDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace velkaro {

TPdfLiveView::TPdfLiveView(QWidget* parent) : QWidget(parent), FDocument(new QPdfDocument(this)) {
    setObjectName("pdfLiveView");
    // The grey of the designer's page area behind the pages, in both looks.
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    grey.setColor(QPalette::WindowText, Qt::white);
    setPalette(grey);
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(8);
    FMessage = new QLabel(this);
    FMessage->setObjectName("lblLiveMessage");
    FMessage->setWordWrap(true);
    FMessage->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    column->addWidget(FMessage);
    for (QLabel*& page : FPages) {
        page = new QLabel(this);
        page->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        // The view sets its width itself (SetZoom): a picture must not widen it.
        page->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        page->hide();
        column->addWidget(page);
    }
    column->addStretch(1);
}

TPdfLiveView::~TPdfLiveView() = default;

void TPdfLiveView::ShowPdf(const std::string& file) {
    ++FRefreshes;
    // Loaded from memory: the designer writes the next version into the same file.
    QFile pdf(QString::fromStdString(file));
    if (!pdf.open(QIODevice::ReadOnly)) {
        ShowMessage("Keine Ansicht: die Vorschau-PDF ist nicht lesbar.");
        return;
    }
    FDocument->close();
    delete FBuffer;
    FBuffer = new QBuffer(this);
    FBuffer->setData(pdf.readAll());
    FBuffer->open(QIODevice::ReadOnly);
    FDocument->load(FBuffer);
    if (FDocument->status() != QPdfDocument::Status::Ready) {
        ShowMessage("Keine Ansicht: die Vorschau-PDF ist nicht lesbar.");
        return;
    }
    FMessage->hide();
    RenderPages();
}

void TPdfLiveView::ShowMessage(const std::string& text) {
    ++FRefreshes;
    FDocument->close();
    FMessage->setText(QString::fromStdString(text));
    FMessage->show();
    for (QLabel* page : FPages) page->hide();
    FPagesShown = 0;
}

QString TPdfLiveView::Message() const { return FMessage->isHidden() ? QString() : FMessage->text(); }

void TPdfLiveView::SetZoom(double factor) {
    FZoom = factor > 0 ? factor : 0;
    if (FZoom == 0) setMinimumWidth(0);
    if (FDocument->status() == QPdfDocument::Status::Ready) RenderPages();
}

QImage TPdfLiveView::PageImage(int index) const {
    if (index < 0 || index >= FPagesShown) return {};
    return FPages[index]->pixmap().toImage();
}

void TPdfLiveView::RenderPages() {
    FPagesShown = std::min(FDocument->pageCount(), 2);
    // As wide as the visible part of the scroll area, or the printed size at the zoom
    // (points at 96 pixels per inch).
    const QWidget* viewport = parentWidget();
    const int available = std::max(100, (viewport ? viewport->width() : width()) - 16);
    int widest = 0;
    for (int i = 0; i < 2; ++i) {
        if (i >= FPagesShown) {
            FPages[i]->hide();
            continue;
        }
        const QSizeF points = FDocument->pagePointSize(i);
        const int width = FZoom > 0 ? std::max(100, qRound(points.width() * 96 / 72 * FZoom)) : available;
        const QSize size(width, qRound(width * points.height() / points.width()));
        const qreal ratio = devicePixelRatioF();
        // The PDF leaves the page transparent where nothing is printed: it is paper, so
        // it is white in the dark look too.
        QImage paper(size * ratio, QImage::Format_RGB32);
        paper.fill(Qt::white);
        {
            QPainter painter(&paper);
            painter.drawImage(0, 0, FDocument->render(i, size * ratio));
        }
        paper.setDevicePixelRatio(ratio);
        FPages[i]->setPixmap(QPixmap::fromImage(paper));
        FPages[i]->show();
        widest = std::max(widest, width);
    }
    setMinimumWidth(FZoom > 0 ? widest + 16 : 0);
}

void TPdfLiveView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (FDocument->status() == QPdfDocument::Status::Ready) RenderPages();
}

} // namespace velkaro
