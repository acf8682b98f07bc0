// The main window's widgets and their wiring to the presenter.
#include "ui/main_form.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/files.h"
#include "ui/about_form.h"
#include "ui/designer_form.h"
#include "ui/invoice_table_model.h"
#include "ui/mail_settings_form.h"
#include "ui/program_icon.h"
#include "ui/theme_qt.h"

namespace velkaro {

namespace {

QDate ToQDate(TDateTime value) {
    const DateTimeParts parts = DecodeDateTime(value);
    return QDate(parts.year, parts.month, parts.day);
}

TDateTime FromQDate(const QDate& date) { return EncodeDate(date.year(), date.month(), date.day()); }

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString ProgramFolder() { return QString::fromStdString(ExtractFilePath(ExecutablePath())); }

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    return button;
}

void MakeBold(QPushButton* button) {
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
}

} // namespace

TMainForm::TMainForm(const std::string& settingsFile, QWidget* parent)
    : QMainWindow(parent), FSession(settingsFile) {
    setWindowTitle(QString::fromUtf8(kMainWindowTitle));
    setWindowIcon(ProgramIcon());
    BuildControls();
    FServices = std::make_unique<TQtServices>(*this, *mmLog);
    FPresenter = std::make_unique<TMainPresenter>(FSession.Settings(), FSession.Source(), FSession.Session(),
                                                  FSession.SentLog(), FServices->Services(), *this);
    FModel = new TInvoiceTableModel(FPresenter->Invoices(), this);
    lvInvoices->setModel(FModel);
    for (size_t i = 0; i < kInvoiceColumnCount; ++i)
        lvInvoices->setColumnWidth(static_cast<int>(i), InvoiceColumns()[i].Width);
    connect(lvInvoices->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { SyncSelection(); });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { SyncSelection(); });
    BuildMenu();

    dtFrom->setDate(ToQDate(FPresenter->DateFrom()));
    dtTo->setDate(ToQDate(FPresenter->DateTo()));
    connect(dtFrom, &QDateEdit::dateChanged, this, [this](const QDate& d) { FPresenter->SetDateFrom(FromQDate(d)); });
    connect(dtTo, &QDateEdit::dateChanged, this, [this](const QDate& d) { FPresenter->SetDateTo(FromQDate(d)); });
    connect(edSearch, &QLineEdit::textChanged, this,
            [this](const QString& text) { FPresenter->SetSearchText(text.toStdString()); });
    connect(cbCompany, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!FUpdating) FPresenter->SelectCompany(index);
    });
    connect(edSearch, &QLineEdit::returnPressed, this, [this] { FPresenter->DoSearch(); });
    connect(btnSearch, &QPushButton::clicked, this, [this] { FPresenter->DoSearch(); });
    connect(btnAll, &QPushButton::clicked, this, [this] { FPresenter->ToggleAll(); });
    connect(btnGenerate, &QPushButton::clicked, this, [this] { FPresenter->DoGenerate(); });
    connect(btnMail, &QPushButton::clicked, this, [this] { FPresenter->DoMail(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { FPresenter->RequestCancel(); });
    connect(lvInvoices, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { FPresenter->RowDoubleClicked(static_cast<size_t>(index.row())); });

    ApplyThemeColors();
    StatusChanged();
    RestoreWindowState();
}

TMainForm::~TMainForm() {
    lvInvoices->setModel(nullptr);
    delete FModel;
}

void TMainForm::BuildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Search bar: captions above their fields.
    auto* searchBar = new QWidget(central);
    auto* grid = new QGridLayout(searchBar);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);
    cbCompany = new QComboBox(searchBar);
    cbCompany->setObjectName("cbCompany");
    cbCompany->setMinimumWidth(180);
    dtFrom = new QDateEdit(searchBar);
    dtFrom->setObjectName("dtFrom");
    dtTo = new QDateEdit(searchBar);
    dtTo->setObjectName("dtTo");
    for (QDateEdit* edit : {dtFrom, dtTo}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat("dd.MM.yyyy");
        edit->setMinimumWidth(120);
    }
    edSearch = new QLineEdit(searchBar);
    edSearch->setObjectName("edSearch");
    edSearch->setMinimumWidth(260);
    edSearch->setClearButtonEnabled(true);
    btnSearch = Button("Suchen", "btnSearch", searchBar);
    btnSearch->setMinimumWidth(100);
    lblCount = new QLabel(searchBar);
    lblCount->setObjectName("lblCount");
    const std::pair<const char*, QWidget*> fields[] = {{"&Mandant", cbCompany},
                                                       {"Buchungsdatum &von", dtFrom},
                                                       {"b&is", dtTo},
                                                       {"&Rechnungsnr. / Kunde / Name / Ort", edSearch}};
    int col = 0;
    for (const auto& [caption, field] : fields) {
        auto* label = new QLabel(QString::fromUtf8(caption), searchBar);
        label->setBuddy(field);
        grid->addWidget(label, 0, col);
        grid->addWidget(field, 1, col++);
    }
    grid->addWidget(btnSearch, 1, col++);
    grid->addWidget(lblCount, 1, col++);
    grid->setColumnStretch(col, 1);
    column->addWidget(searchBar);

    pnAccent = new QFrame(central);
    pnAccent->setObjectName("pnAccent");
    pnAccent->setFixedHeight(3);
    pnAccent->setAutoFillBackground(true);
    column->addWidget(pnAccent);

    lvInvoices = new QTableView(central);
    lvInvoices->setObjectName("lvInvoices");
    lvInvoices->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvInvoices->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvInvoices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvInvoices->setSortingEnabled(true);
    lvInvoices->horizontalHeader()->setSortIndicatorShown(false);
    lvInvoices->horizontalHeader()->setHighlightSections(false);
    lvInvoices->verticalHeader()->hide();
    lvInvoices->verticalHeader()->setDefaultSectionSize(lvInvoices->fontMetrics().height() + 8);
    lvInvoices->setWordWrap(false);
    lvInvoices->setTabKeyNavigation(false);
    lvInvoices->installEventFilter(this);
    connect(lvInvoices->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this] { lvInvoices->horizontalHeader()->setSortIndicatorShown(true); });

    auto* actionBar = new QWidget(central);
    auto* actions = new QVBoxLayout(actionBar);
    actions->setContentsMargins(10, 6, 10, 6);
    auto* buttons = new QHBoxLayout;
    btnAll = Button("&Alle an/abwählen", "btnAll", actionBar);
    btnAll->setMinimumWidth(140);
    btnGenerate = Button("&ZUGFeRD-PDF erzeugen", "btnGenerate", actionBar);
    btnMail = Button("Markierte per E-&Mail senden...", "btnMail", actionBar);
    for (QPushButton* b : {btnGenerate, btnMail}) {
        b->setMinimumWidth(260);
        MakeBold(b);
    }
    buttons->addWidget(btnAll);
    buttons->addWidget(btnGenerate);
    buttons->addWidget(btnMail);
    buttons->addStretch(1);
    actions->addLayout(buttons);
    mmLog = new QPlainTextEdit(actionBar);
    mmLog->setObjectName("mmLog");
    mmLog->setReadOnly(true);
    mmLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    actions->addWidget(mmLog);

    FSplitter = new QSplitter(Qt::Vertical, central);
    FSplitter->setObjectName("splitter");
    FSplitter->addWidget(lvInvoices);
    FSplitter->addWidget(actionBar);
    FSplitter->setStretchFactor(0, 1);
    FSplitter->setStretchFactor(1, 0);
    FSplitter->setChildrenCollapsible(false);
    FSplitter->setSizes({500, 190});
    column->addWidget(FSplitter, 1);
    setCentralWidget(central);

    const int widths[3] = {280, 380, 150};
    for (int i = 0; i < 3; ++i) {
        FStatus[i] = new QLabel(this);
        FStatus[i]->setObjectName(QString("status%1").arg(i + 1));
        FStatus[i]->setMinimumWidth(widths[i]);
        statusBar()->addWidget(FStatus[i], i == 1 ? 1 : 0);
    }
    FProgress = new QProgressBar(this);
    FProgress->setObjectName("progress");
    FProgress->setMaximumWidth(200);
    FProgress->setTextVisible(true);
    btnCancel = Button("Abbrechen", "btnCancel", this);
    statusBar()->addPermanentWidget(FProgress);
    statusBar()->addPermanentWidget(btnCancel);
    FProgress->hide();
    btnCancel->hide();

    setTabOrder(cbCompany, dtFrom);
    setTabOrder(dtFrom, dtTo);
    setTabOrder(dtTo, edSearch);
    setTabOrder(edSearch, btnSearch);
    setTabOrder(btnSearch, lvInvoices);
    setTabOrder(lvInvoices, btnAll);
    setTabOrder(btnAll, btnGenerate);
    setTabOrder(btnGenerate, btnMail);
    setTabOrder(btnMail, mmLog);
    resize(1100, 760);
}

void TMainForm::BuildMenu() {
    QMenu* file = menuBar()->addMenu("&Datei");
    file->addAction("Ausgabeordner &öffnen", this, [this] { FPresenter->OpenOutputFolder(); });
    file->addSeparator();
    file->addAction("&Beenden", QKeySequence(Qt::ALT | Qt::Key_F4), this, &QWidget::close);

    QMenu* settings = menuBar()->addMenu("&Einstellungen");
    settings->addAction("&Layout / Briefpapier...", QKeySequence(Qt::CTRL | Qt::Key_L), this, [this] { OpenDesigner(); });
    settings->addAction("&E-Mail-Einstellungen...", QKeySequence(Qt::CTRL | Qt::Key_E), this,
                        [this] { FPresenter->EditMailSettings(); });
    settings->addSeparator();
    settings->addAction("&Ausgabeordner wählen...", this, [this] { ChooseOutDir(); });
    miXml = settings->addAction("&XML zusätzlich speichern");
    miXml->setObjectName("miXml");
    miXml->setCheckable(true);
    connect(miXml, &QAction::triggered, this, [this](bool on) { FPresenter->SetSaveXml(on); });
    miOpenPdf = settings->addAction("&PDF nach dem Erzeugen öffnen");
    miOpenPdf->setObjectName("miOpenPdf");
    miOpenPdf->setCheckable(true);
    connect(miOpenPdf, &QAction::triggered, this, [this](bool on) { FPresenter->SetOpenPdf(on); });
    settings->addSeparator();
    QMenu* look = settings->addMenu("&Darstellung");
    auto* group = new QActionGroup(this);
    miSkinDark = look->addAction("&Dunkel (orange Akzente)");
    miSkinDark->setObjectName("miSkinDark");
    miSkinLight = look->addAction("&Hell (Windows)");
    miSkinLight->setObjectName("miSkinLight");
    for (QAction* item : {miSkinDark, miSkinLight}) {
        item->setCheckable(true);
        group->addAction(item);
    }
    (IsLightStyle() ? miSkinLight : miSkinDark)->setChecked(true);
    connect(miSkinDark, &QAction::triggered, this, [this] { SwitchTheme(false); });
    connect(miSkinLight, &QAction::triggered, this, [this] { SwitchTheme(true); });
    settings->addSeparator();
    settings->addAction("Einstellungsdatei (&INI) bearbeiten...", this, [this] { FPresenter->EditSettingsFile(); });
    settings->addAction("Einstellungsdatei &neu laden", this, [this] { FPresenter->ReloadSettings(); });

    QMenu* help = menuBar()->addMenu("&Hilfe");
    help->addAction("&Anleitung (online)...", this, [this] { FPresenter->OpenManual(ProgramFolder().toStdString()); });
    if (QFileInfo::exists(ProgramFolder() + kUserGuideFile))
        help->addAction("&Technische Dokumentation (LIESMICH)", this,
                        [this] { FPresenter->OpenUserGuide(ProgramFolder().toStdString()); });
    help->addSeparator();
    help->addAction("&Info...", QKeySequence(Qt::Key_F1), this, [this] {
        TAboutForm::Execute(this, FSession.Settings(), FPresenter->Company(), &FSession.Data());
    });
}

void TMainForm::OpenDesigner() {
    if (TDesignerForm::Execute(this, FSession.Settings(), FSession.Data(), cbCompany->currentText().toStdString(),
                               DesignerPreviewDocument(FPresenter->Invoices())))
        FPresenter->LayoutSaved();
}

void TMainForm::SwitchTheme(bool light) {
    ApplyTheme(light);
    FPresenter->SetLightSkin(light);
    (IsLightStyle() ? miSkinLight : miSkinDark)->setChecked(true);
    ApplyThemeColors();
}

void TMainForm::ApplyThemeColors() {
    const bool dark = !IsLightStyle();
    QPalette strip = pnAccent->palette();
    strip.setColor(QPalette::Window, AccentColor());
    pnAccent->setPalette(strip);
    pnAccent->setVisible(dark);
    lvInvoices->setShowGrid(!dark);
    lvInvoices->viewport()->update();
}

void TMainForm::ChooseOutDir() {
    const QString folder = QFileDialog::getExistingDirectory(this, "Ausgabeordner wählen",
                                                             Q(FPresenter->OutDirDialogStart()));
    if (!folder.isEmpty()) FPresenter->SetOutDir(folder.toStdString());
}

void TMainForm::SyncSelection() {
    std::vector<size_t> rows;
    for (const QModelIndex& index : lvInvoices->selectionModel()->selectedRows())
        rows.push_back(static_cast<size_t>(index.row()));
    std::sort(rows.begin(), rows.end());
    FPresenter->Invoices().SetSelection(rows);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // Space ticks the current row, whichever column has the focus.
    if (watched == lvInvoices && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space && lvInvoices->currentIndex().isValid()) {
        FPresenter->RowDoubleClicked(static_cast<size_t>(lvInvoices->currentIndex().row()));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (FShown) return;
    FShown = true;
    // Once shown, so that the window is on screen while the database answers.
    QMetaObject::invokeMethod(this, [this] { FPresenter->ConnectDatabase(); }, Qt::QueuedConnection);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (FPresenter->RunKind() != rkNone) FPresenter->RequestCancel();
    SaveWindowState();
    FPresenter->StoreUserValues();
    QMainWindow::closeEvent(event);
}

void TMainForm::RestoreWindowState() {
    QSettings state;
    if (!restoreGeometry(state.value("Hauptfenster/Geometrie").toByteArray())) {
        if (const QScreen* screen = QApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    FSplitter->restoreState(state.value("Hauptfenster/Teiler").toByteArray());
    const QVariantList widths = state.value("Hauptfenster/Spalten").toList();
    for (int i = 0; i < widths.size() && i < static_cast<int>(kInvoiceColumnCount); ++i)
        if (widths[i].toInt() > 0) lvInvoices->setColumnWidth(i, widths[i].toInt());
}

void TMainForm::SaveWindowState() {
    QSettings state;
    state.setValue("Hauptfenster/Geometrie", saveGeometry());
    state.setValue("Hauptfenster/Teiler", FSplitter->saveState());
    QVariantList widths;
    for (size_t i = 0; i < kInvoiceColumnCount; ++i) widths << lvInvoices->columnWidth(static_cast<int>(i));
    state.setValue("Hauptfenster/Spalten", widths);
}

void TMainForm::CompaniesChanged() {
    FUpdating = true;
    cbCompany->clear();
    for (const std::string& name : FPresenter->Companies()) cbCompany->addItem(Q(name));
    cbCompany->setCurrentIndex(FPresenter->CompanyIndex());
    FUpdating = false;
}

void TMainForm::CountChanged() { lblCount->setText(Q(FPresenter->CountText())); }

void TMainForm::RunStateChanged() {
    const TRunKind kind = FPresenter->RunKind();
    btnGenerate->setEnabled(kind != rkGenerate);
    btnMail->setEnabled(kind != rkMail);
    FProgress->setVisible(kind != rkNone);
    btnCancel->setVisible(kind != rkNone);
    btnCancel->setEnabled(true);
}

void TMainForm::ProgressChanged() {
    // The bar fills with the finished invoices; its text names the current one.
    if (FPresenter->ProgressCount() > 0) {
        FProgress->setRange(0, static_cast<int>(FPresenter->ProgressCount()));
        FProgress->setValue(static_cast<int>(FPresenter->ProgressStep()) - 1);
        FProgress->setFormat(Q(FPresenter->ProgressText()));
    } else {
        FProgress->reset();
    }
}

void TMainForm::StatusChanged() {
    const std::array<std::string, 3> texts = FPresenter->StatusTexts();
    for (int i = 0; i < 3; ++i) FStatus[i]->setText(Q(texts[static_cast<size_t>(i)]));
    miXml->setChecked(FPresenter->SaveXml());
    miOpenPdf->setChecked(FPresenter->OpenPdf());
}

bool TMainForm::OpenMailSettings() {
    return TMailSettingsForm::Execute(this, FSession.Settings(), &FSession.Data(), FPresenter->Company());
}

} // namespace velkaro
