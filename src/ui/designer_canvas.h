#pragma once
// The designer's page: paints the page with its background and elements at the zoom
// of the presenter and turns mouse actions into the presenter's calls.
#include <QImage>
#include <QWidget>
#include <string>

#include "ui/designer_painter.h"

namespace velkaro {

class TDesignerPresenter;

class TDesignerCanvas : public QWidget {
    Q_OBJECT
public:
    TDesignerCanvas(TDesignerPresenter& presenter, QString fontFamily, QWidget* parent = nullptr);

    // The paint box's size follows the zoom.
    void UpdateSize();
    // How often a background picture was decoded (each file and zoom once).
    int BackgroundLoads() const { return FBgLoads; }

signals:
    // A drag ended (the working copy may have changed).
    void DragFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The background of the shown page scaled to the page at the current zoom.
    const QImage& Background();

    TDesignerPresenter& FPresenter;
    QString FFontFamily;
    QImage FBgCache;
    std::string FBgKey;
    int FBgLoads = 0;
    TLogoCache FLogos;
};

} // namespace velkaro
