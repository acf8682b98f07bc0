// A desktop as velkaro-desktop runs it (the main window with the stop signals caught),
// which searches every document of the settings' company, ticks the first `count`, sets
// "XML zusätzlich speichern" and produces them. Prints "LAUF" on standard output when
// the first document is written, so that a test can send its signal while the run works.
// With "haengt", the window instead holds up its event loop for a minute after "LAUF"
// (as a database that does not answer would).
//   desktop_stop_probe <settings file> <count> [haengt]
#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "ui/main_form.h"
#include "ui/stop_signals.h"

using namespace velkaro;

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) return 2;
    const bool hang = argc == 4 && std::string(argv[3]) == "haengt";
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Velkaro");
    QApplication::setApplicationName("velkaro");
    const TStopSignals stopSignals;
    TMainForm form(argv[1]);
    const size_t count = static_cast<size_t>(std::atoi(argv[2]));
    form.show();

    auto* log = form.findChild<QPlainTextEdit*>("mmLog");
    bool running = false;
    QObject::connect(log, &QPlainTextEdit::textChanged, [&] {
        if (running || !log->document()->lastBlock().text().contains(" erzeugt: ")) return;
        running = true;
        std::puts("LAUF");
        std::fflush(stdout);
    });

    // Once the window has connected (on its first showing), the run starts.
    std::function<void()> start = [&] {
        if (hang) {
            std::puts("LAUF");
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::minutes(1));
            return;
        }
        TMainPresenter& presenter = form.Presenter();
        if (presenter.CompanyIndex() < 0) {
            QTimer::singleShot(20, start);
            return;
        }
        presenter.SetDateFrom(EncodeDate(2000, 1, 1));
        presenter.SetDateTo(EncodeDate(2099, 12, 31));
        presenter.DoSearch();
        for (size_t row = 0; row < count && row < presenter.Invoices().Count(); ++row)
            presenter.Invoices().SetChecked(row, true);
        std::printf("GEFUNDEN %zu\n", presenter.Invoices().Count());
        std::fflush(stdout);
        presenter.SetSaveXml(true);
        presenter.DoGenerate();
    };
    QTimer::singleShot(0, start);
    return QApplication::exec();
}
