#include "ui/pdf_live_view.h"

#include <QBuffer>
#include <QFile>
#include <QLabel>
#include <QPdfDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace velkaro {

TPdfLiveView::TPdfLiveView(QWidget* parent) : QWidget(parent), FDocument(new QPdfDocument(this)) {
    setObjectName("pdfLiveView");
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

void TPdfLiveView::RenderPages() {
    FPagesShown = std::min(FDocument->pageCount(), 2);
    const int width = std::max(100, this->width() - 16);
    for (int i = 0; i < 2; ++i) {
        if (i >= FPagesShown) {
            FPages[i]->hide();
            continue;
        }
        const QSizeF points = FDocument->pagePointSize(i);
        const QSize size(width, static_cast<int>(width * points.height() / points.width()));
        const qreal ratio = devicePixelRatioF();
        QImage image = FDocument->render(i, size * ratio);
        image.setDevicePixelRatio(ratio);
        FPages[i]->setPixmap(QPixmap::fromImage(image));
        FPages[i]->show();
    }
}

void TPdfLiveView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (FDocument->status() == QPdfDocument::Status::Ready) RenderPages();
}

} // namespace velkaro
