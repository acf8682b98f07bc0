#pragma once
// The real PDF beside the designer's page: page 1 and, when the invoice has one, page 2
// of the invoice printed with the working copy, or a German line saying why there is none.
// The pages are drawn as paper (white, whatever the look) at their own zoom: as wide as
// the view, or at a fixed size that the surrounding scroll area scrolls.
#include <QWidget>
#include <string>

class QBuffer;
class QImage;
class QLabel;
class QPdfDocument;
class QVBoxLayout;

namespace velkaro {

class TPdfLiveView : public QWidget {
    Q_OBJECT
public:
    explicit TPdfLiveView(QWidget* parent = nullptr);
    ~TPdfLiveView() override;

    // Shows the first two pages of the file (read at once, so the file may change later).
    void ShowPdf(const std::string& file);
    void ShowMessage(const std::string& text);

    // 0: each page as wide as the view; else the factor of the page's printed size (1 = 100 %).
    void SetZoom(double factor);
    double Zoom() const { return FZoom; }

    int PagesShown() const { return FPagesShown; }
    // The picture of a shown page (for tests), as drawn.
    QImage PageImage(int index) const;
    QString Message() const;
    // How often the view was filled anew.
    int Refreshes() const { return FRefreshes; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void RenderPages();

    QPdfDocument* FDocument;
    QBuffer* FBuffer = nullptr;  // the loaded bytes, owned by the view
    QLabel* FMessage;
    QLabel* FPages[2];
    int FPagesShown = 0;
    double FZoom = 0;
    int FRefreshes = 0;
};

} // namespace velkaro
