// Pictures of the layout designer for looking at it: both looks, first without letter
// paper (the live view's page must be paper in the dark look too), then with letter paper
// and logo, an element selected, the live view of the real PDF beside the page, at 75 % and
// 150 %; the window as on a 1920 x 1080 screen with the live view at 100 %; and the preview
// PDF itself, to put beside the page as pdftoppm draws it.
// Usage: velkaro_designer_screenshots <settings file> <picture folder> <name suffix>
//        <letter-paper picture> <logo picture> <preview invoice>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSplitter>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "ui/designer_canvas.h"
#include "ui/designer_form.h"
#include "ui/pdf_live_view.h"
#include "ui/theme_qt.h"

#include "screenshot_save.h"

using namespace velkaro;

namespace {

// Until the live view shows the PDF of the latest change (at most a few seconds).
void WaitForLiveView(TDesignerForm& form, int refreshesBefore) {
    for (int i = 0; i < 100 && form.LiveView().Refreshes() == refreshesBefore; ++i) QTest::qWait(50);
    QTest::qWait(50);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fputs("Aufruf: velkaro_designer_screenshots <Einstellungsdatei> <Bildordner> <Namenszusatz> "
                   "<Briefpapier> <Logo> <Rechnungsnummer>\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Velkaro");
    QApplication::setApplicationName("velkaro-screenshots");
    const QString folder = QString::fromLocal8Bit(argv[2]), suffix = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(folder);
    for (bool light : {false, true}) {
        ApplyTheme(light);
        const QString look = light ? "hell" : "dunkel";
        TSettings settings(argv[1]);
        TNavData data(settings);
        TDesignerForm form(nullptr, settings, data, settings.Company, argv[6]);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form)) std::fputs("Fenster nicht sichtbar\n", stderr);
        int refreshes = form.LiveView().Refreshes();
        TDesignerPresenter& designer = form.Presenter();
        WaitForLiveView(form, refreshes);
        SaveScreenshot(form, folder, look + "-designer-ohne-briefpapier" + suffix);
        refreshes = form.LiveView().Refreshes();
        designer.BackgroundsChanged(argv[4], "", true);
        for (size_t i = 0; i < designer.Layout().Elements.size(); ++i)
            if (designer.Layout().Elements[i]->Kind == ekLogo) designer.SelectElement(static_cast<int>(i));
        designer.LogoChosen(argv[5]);
        for (size_t i = 0; i < designer.Layout().Elements.size(); ++i)
            if (designer.Layout().Elements[i]->Kind == ekInfo) designer.SelectElement(static_cast<int>(i));
        WaitForLiveView(form, refreshes);
        SaveScreenshot(form, folder, look + "-designer-75" + suffix);
        std::fprintf(stderr, "%s: Live-Ansicht %lld ms, %d Seiten, Meldung „%s“\n", qPrintable(look),
                     static_cast<long long>(form.LastLiveRefreshMs()), form.LiveView().PagesShown(),
                     qPrintable(form.LiveView().Message()));

        if (!light) {
            // The live view's refresh, warm: generation of the PDF and drawing its pages.
            std::vector<qint64> times;
            for (int i = 0; i < 11; ++i) {
                designer.MoveByKey(1, 0, false);
                const int before = form.LiveView().Refreshes();
                WaitForLiveView(form, before);
                times.push_back(form.LastLiveRefreshMs());
            }
            std::sort(times.begin(), times.end());
            std::fprintf(stderr, "Live-Ansicht (%s): Median %lld ms, größter %lld ms\n", argv[6],
                         static_cast<long long>(times[times.size() / 2]), static_cast<long long>(times.back()));
            designer.Undo();  // the key presses on one element are one step
        }
        form.findChild<QComboBox*>("cbZoom")->setCurrentIndex(4);
        QTest::qWait(50);
        SaveScreenshot(form, folder, look + "-designer-150" + suffix);

        form.findChild<QComboBox*>("cbZoom")->setCurrentIndex(1);
        // A full-HD screen: the extra room goes to the live view, here at print size.
        const QSize before = form.size();
        form.resize(1860, 1000);
        auto* splitter = form.findChild<QSplitter*>("pageSplitter");
        const int page = form.Canvas().width() + 20;  // as a first opening on such a screen
        splitter->setSizes({page, 1860 - 330 - page});
        auto* liveZoom = form.findChild<QComboBox*>("cbLiveZoom");
        liveZoom->setCurrentIndex(liveZoom->findText("100 %"));
        QTest::qWait(100);
        SaveScreenshot(form, folder, look + "-designer-pdf-100" + suffix);
        liveZoom->setCurrentIndex(0);
        form.resize(before);
        QTest::qWait(50);

        const TLiveViewResult pdf = designer.RenderLiveView();
        if (!light && !pdf.PdfFile.empty()) QFile::copy(QString::fromStdString(pdf.PdfFile), folder + "/designer-vorschau.pdf");
        form.findChild<QComboBox*>("cbZoom")->setCurrentIndex(1);
        QWidget* canvas = &form.Canvas();
        SaveScreenshot(*canvas, folder, look + "-designer-seite" + suffix);
        form.done(QDialog::Rejected);
    }
    return 0;
}
