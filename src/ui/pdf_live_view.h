#pragma once
// The real PDF beside the designer's page: page 1 and, when the invoice has one, page 2
// of the invoice printed with the working copy, or a German line saying why there is none.
#include <QWidget>
#include <string>

class QBuffer;
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

    int PagesShown() const { return FPagesShown; }
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
    int FRefreshes = 0;
};

} // namespace velkaro
