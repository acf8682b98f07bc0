// The layout designer's widgets and their wiring to the presenter.
#include "ui/designer_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "config/settings.h"
#include "platform/text.h"
#include "ui/designer_canvas.h"
#include "ui/pdf_live_view.h"
#include "ui/program_icon.h"
#include "ui/qt_services.h"
#include "ui/theme_qt.h"

namespace velkaro {

namespace {

constexpr int kLiveDelayMs = 300;
// The live view's sizes: as wide as the view, or a factor of the printed size.
constexpr struct {
    const char* Caption;
    double Factor;
} kLiveZooms[] = {{"Seitenbreite", 0}, {"100 %", 1}, {"150 %", 1.5}, {"200 %", 2}};
constexpr const char* kPictureFilter = "Bilder (*.png *.jpg *.jpeg *.bmp *.tif *.tiff *.gif);;Alle Dateien (*)";

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// The layout keeps CR LF between lines; the text field works with LF.
QString ToEditorText(const std::string& text) { return Q(ReplaceAll(text, "\r\n", "\n")); }
std::string FromEditorText(const QString& text) { return ReplaceAll(S(text), "\n", "\r\n"); }

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);
    return button;
}

QLabel* Label(const char* caption, QWidget* parent) { return new QLabel(QString::fromUtf8(caption), parent); }

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// Sets a line edit's text without moving the caret of a field the user types in.
void SetText(QLineEdit* edit, const std::string& text) {
    if (edit->text() != Q(text)) edit->setText(Q(text));
}

bool TakesArrowKeys(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QComboBox*>(widget);
}

} // namespace

TDesignerForm::TDesignerForm(QWidget* owner, TSettings& settings, TNavData& data, const std::string& company,
                             const TPreviewDocument& preview)
    : QDialog(owner), FSettings(settings), FDocuments(std::make_unique<TNavDesignerDocuments>(data, settings, company)) {
    setObjectName("DesignerForm");
    setWindowTitle(QString::fromUtf8(kDesignerTitle));
    setWindowIcon(ProgramIcon());
    FFontFamily = settings.FontName;
    FServices = std::make_unique<TQtServices>(*this);
    FViewServices = std::make_unique<TViewServices>(FServices->Services());
    FPresenter = std::make_unique<TDesignerPresenter>(*this, *FViewServices, *FDocuments,
                                                      DesignerInputsOf(settings, preview));
    ChooseFile = [this](const QString& title) {
        return QFileDialog::getOpenFileName(this, title, QString(), QString::fromUtf8(kPictureFilter));
    };
    FLiveTimer = new QTimer(this);
    FLiveTimer->setSingleShot(true);
    FLiveTimer->setInterval(kLiveDelayMs);
    connect(FLiveTimer, &QTimer::timeout, this, [this] { RefreshLiveView(); });
    BuildControls();
    FUpdating = false;
    ElementListChanged();
    BackgroundsChanged();
    PageChanged();
    SelectionChanged();
    UpdateUndoButtons();
    RestoreWindowState();
    FPresenter->OfferRecovery();
    qApp->installEventFilter(this);
    ScheduleLiveView();
}

TDesignerForm::~TDesignerForm() { qApp->removeEventFilter(this); }

bool TDesignerForm::Execute(QWidget* owner, TSettings& settings, TNavData& data, const std::string& company,
                            const TPreviewDocument& preview) {
    TDesignerForm form(owner, settings, data, company, preview);
    return form.exec() == QDialog::Accepted;
}

void TDesignerForm::BuildControls() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(BuildTopPanel());

    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    middle->addWidget(BuildLeftPanel());

    sbPage = Named(new QScrollArea(this), "sbPage");
    sbPage->setBackgroundRole(QPalette::Dark);
    QPalette grey = sbPage->palette();
    grey.setColor(QPalette::Dark, QColor(128, 128, 128));
    sbPage->setPalette(grey);
    FCanvas = new TDesignerCanvas(*FPresenter, Q(FFontFamily), sbPage);
    FCanvas->setFocusPolicy(Qt::ClickFocus);
    sbPage->setWidget(FCanvas);
    connect(FCanvas, &TDesignerCanvas::DragFinished, this, [this] { ScheduleLiveView(); });

    FSplitter = Named(new QSplitter(Qt::Horizontal, this), "pageSplitter");
    FSplitter->addWidget(sbPage);
    FSplitter->addWidget(BuildLivePane());
    FSplitter->setStretchFactor(0, 0);  // a larger window widens the live view
    FSplitter->setStretchFactor(1, 1);
    FSplitter->setChildrenCollapsible(false);
    middle->addWidget(FSplitter, 1);
    outer->addLayout(middle, 1);
    outer->addWidget(BuildBottomPanel());

    auto shortcut = [this](const QKeySequence& keys, void (TDesignerPresenter::*action)()) {
        auto* s = new QShortcut(keys, this);
        connect(s, &QShortcut::activated, this, [this, action] { (FPresenter.get()->*action)(); });
    };
    shortcut(QKeySequence::Undo, &TDesignerPresenter::Undo);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), &TDesignerPresenter::Redo);
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TDesignerPresenter::Redo);
}

QWidget* TDesignerForm::BuildLivePane() {
    FLivePane = Named(new QWidget(this), "livePane");
    auto* column = new QVBoxLayout(FLivePane);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(8, 4, 8, 4);
    bar->addWidget(Label("Zoom:", FLivePane));
    cbLiveZoom = Named(new QComboBox(FLivePane), "cbLiveZoom");
    for (const auto& zoom : kLiveZooms) cbLiveZoom->addItem(QString::fromUtf8(zoom.Caption));
    cbLiveZoom->setToolTip(QString::fromUtf8("Größe der PDF-Ansicht: so breit wie der Bereich oder in Druckgröße"));
    bar->addWidget(cbLiveZoom);
    bar->addStretch(1);
    column->addLayout(bar);

    FLiveArea = Named(new QScrollArea(FLivePane), "liveArea");
    FLiveArea->setWidgetResizable(true);
    // Two pages are taller than any pane: a scroll bar that comes and goes would change
    // the width the pages are drawn for.
    FLiveArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FLiveView = new TPdfLiveView(FLiveArea);
    FLiveArea->setWidget(FLiveView);
    column->addWidget(FLiveArea, 1);
    FLivePane->setMinimumWidth(260);
    connect(cbLiveZoom, &QComboBox::currentIndexChanged, this, [this](int index) {
        constexpr int count = static_cast<int>(std::size(kLiveZooms));
        FLiveView->SetZoom(index >= 0 && index < count ? kLiveZooms[index].Factor : 0);
    });
    return FLivePane;
}

void TDesignerForm::RestoreWindowState() {
    QSettings state;
    const int liveZoom = state.value("Layoutdesigner/PDF-Zoom", 0).toInt();
    cbLiveZoom->setCurrentIndex(liveZoom >= 0 && liveZoom < cbLiveZoom->count() ? liveZoom : 0);
    if (restoreGeometry(state.value("Layoutdesigner/Geometrie").toByteArray()) &&
        FSplitter->restoreState(state.value("Layoutdesigner/Teiler").toByteArray()))
        return;
    // The first opening: 1280 x 940, wider on a large screen, where the extra room goes to
    // the live view; the page gets what it needs at 75 %, at most half of the middle.
    QSize size(1280, 940);
    QRect available;
    if (const QScreen* screen = parentWidget() ? parentWidget()->screen() : QApplication::primaryScreen()) {
        available = screen->availableGeometry();
        if (available.width() >= 1600) size.setWidth(std::min(available.width() - 60, 1860));
        if (available.height() >= 1000) size.setHeight(std::min(available.height() - 60, 1040));
    }
    resize(size);
    if (available.isValid()) move(available.center() - rect().center());
    const int middle = size.width() - 330;
    const int page = std::min(FCanvas->width() + sbPage->verticalScrollBar()->sizeHint().width() + 4,
                              middle / 2);
    FSplitter->setSizes({page, middle - page});
}

void TDesignerForm::SaveWindowState() {
    QSettings state;
    state.setValue("Layoutdesigner/Geometrie", saveGeometry());
    state.setValue("Layoutdesigner/Teiler", FSplitter->saveState());
    state.setValue("Layoutdesigner/PDF-Zoom", cbLiveZoom->currentIndex());
}

QWidget* TDesignerForm::BuildTopPanel() {
    auto* panel = Named(new QWidget(this), "topPanel");
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(10, 6, 10, 6);
    rbFirst = Named(new QRadioButton(QString::fromUtf8("Seite 1"), panel), "rbFirst");
    rbFollow = Named(new QRadioButton(QString::fromUtf8("Folgeseite"), panel), "rbFollow");
    rbFirst->setChecked(true);
    connect(rbFirst, &QRadioButton::toggled, this, [this](bool on) {
        if (!FUpdating) FPresenter->ShowPage(on);
    });
    row->addWidget(rbFirst);
    row->addWidget(rbFollow);
    row->addSpacing(30);
    row->addWidget(Label("Zoom:", panel));
    cbZoom = Named(new QComboBox(panel), "cbZoom");
    for (double factor : kZoomFactors) cbZoom->addItem(QString::number(qRound(factor * 100)) + "%");
    cbZoom->setCurrentIndex(1);
    connect(cbZoom, &QComboBox::currentIndexChanged, this, [this](int index) {
        constexpr int count = static_cast<int>(std::size(kZoomFactors));
        FPresenter->SetZoomFactor(index >= 0 && index < count ? kZoomFactors[index] : kZoomFactors[0]);
    });
    row->addWidget(cbZoom);
    row->addSpacing(20);
    btnUndo = Button("Rückgängig", "btnUndo", panel);
    btnUndo->setToolTip(QString::fromUtf8("Letzte Änderung zurücknehmen (Strg+Z)"));
    btnRedo = Button("Wiederholen", "btnRedo", panel);
    btnRedo->setToolTip(QString::fromUtf8("Zurückgenommene Änderung wiederholen (Strg+Y)"));
    connect(btnUndo, &QPushButton::clicked, this, [this] { FPresenter->Undo(); });
    connect(btnRedo, &QPushButton::clicked, this, [this] { FPresenter->Redo(); });
    row->addWidget(btnUndo);
    row->addWidget(btnRedo);
    row->addSpacing(20);
    auto* hint = Label("Element ziehen = verschieben · Ecke unten rechts = Größe · Pfeiltasten = 0,5 mm (Umschalt: 5 mm)",
                       panel);
    row->addWidget(hint, 1);
    chkLive = Named(new QCheckBox(QString::fromUtf8("PDF-Ansicht"), panel), "chkLive");
    chkLive->setToolTip(QString::fromUtf8("Die echte PDF-Rechnung mit dem bearbeiteten Layout neben der Seite zeigen"));
    chkLive->setChecked(true);
    connect(chkLive, &QCheckBox::toggled, this, [this](bool on) {
        FLivePane->setVisible(on);
        if (on) ScheduleLiveView();
    });
    row->addWidget(chkLive);
    return panel;
}

QWidget* TDesignerForm::BuildLeftPanel() {
    auto* panel = Named(new QWidget(this), "leftPanel");
    panel->setFixedWidth(330);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setVerticalSpacing(4);
    int row = 0;
    auto full = [&](QWidget* w) { grid->addWidget(w, row++, 0, 1, 4); };

    // A file field with its buttons "..." and "X" on one row.
    auto filePicker = [&](QLineEdit*& edit, QPushButton*& choose, QPushButton*& clear, const char* names[3]) {
        edit = Named(new QLineEdit(panel), names[0]);
        choose = Button("...", names[1], panel);
        clear = Button("X", names[2], panel);
        auto* line = new QHBoxLayout;
        line->addWidget(edit, 1);
        line->addWidget(choose);
        line->addWidget(clear);
        grid->addLayout(line, row++, 0, 1, 4);
    };
    const char* firstNames[3] = {"edBgFirst", "btnBgFirst", "btnBgFirstClear"};
    const char* followNames[3] = {"edBgFollow", "btnBgFollow", "btnBgFollowClear"};
    full(Label("Hintergrund Seite 1 (Briefpapier, A4):", panel));
    filePicker(edBgFirst, btnBgFirst, btnBgFirstClear, firstNames);
    chkSame = Named(new QCheckBox(QString::fromUtf8("Folgeseiten mit gleichem Hintergrund"), panel), "chkSame");
    full(chkSame);
    full(Label("Hintergrund Folgeseiten:", panel));
    filePicker(edBgFollow, btnBgFollow, btnBgFollowClear, followNames);
    for (QPushButton* b : {btnBgFirst, btnBgFirstClear, btnBgFollow, btnBgFollowClear}) b->setFixedWidth(40);
    connect(edBgFirst, &QLineEdit::textEdited, this, [this] { TakeBackgrounds(); });
    connect(edBgFollow, &QLineEdit::textEdited, this, [this] { TakeBackgrounds(); });
    connect(chkSame, &QCheckBox::clicked, this, [this] { TakeBackgrounds(); });
    auto choose = [this](QLineEdit* edit, const char* title) {
        const QString file = ChooseFile(QString::fromUtf8(title));
        if (file.isEmpty()) return;
        edit->setText(file);
        TakeBackgrounds();
    };
    connect(btnBgFirst, &QPushButton::clicked, this,
            [this, choose] { choose(edBgFirst, "Hintergrundbild Seite 1 (A4, z. B. 150–300 dpi)"); });
    connect(btnBgFollow, &QPushButton::clicked, this,
            [this, choose] { choose(edBgFollow, "Hintergrundbild Folgeseiten"); });
    connect(btnBgFirstClear, &QPushButton::clicked, this, [this] {
        edBgFirst->clear();
        TakeBackgrounds();
    });
    connect(btnBgFollowClear, &QPushButton::clicked, this, [this] {
        edBgFollow->clear();
        TakeBackgrounds();
    });

    full(Label("Elemente:", panel));
    lbElements = Named(new QListWidget(panel), "lbElements");
    lbElements->setMinimumHeight(150);
    QPalette listColors = lbElements->palette();
    const TThemeColors& colors = ThemeColors(IsLightStyle());
    listColors.setColor(QPalette::Highlight, ToQColor(colors.Accent));
    listColors.setColor(QPalette::HighlightedText, ToQColor(colors.AccentText));
    lbElements->setPalette(listColors);
    grid->addWidget(lbElements, row++, 0, 1, 4);
    grid->setRowStretch(row - 1, 1);
    connect(lbElements, &QListWidget::currentRowChanged, this, [this](int index) {
        if (!FUpdating) FPresenter->SelectElement(index);
    });
    btnAddText = Button("Text hinzufügen", "btnAddText", panel);
    btnDelete = Button("Text entfernen", "btnDelete", panel);
    grid->addWidget(btnAddText, row, 0, 1, 2);
    grid->addWidget(btnDelete, row++, 2, 1, 2);
    connect(btnAddText, &QPushButton::clicked, this, [this] {
        FPresenter->AddText();
        mmText->setFocus();
        mmText->selectAll();
    });
    connect(btnDelete, &QPushButton::clicked, this, [this] { FPresenter->RemoveText(); });

    const char* captions[4] = {"X (mm)", "Y (mm)", "Breite", "Höhe"};
    QLineEdit** edits[4] = {&edX, &edY, &edW, &edH};
    const char* names[4] = {"edX", "edY", "edW", "edH"};
    const TDesignerField fields[4] = {dfX, dfY, dfWidth, dfHeight};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(Label(captions[i], panel), row, i);
        *edits[i] = Named(new QLineEdit(panel), names[i]);
        grid->addWidget(*edits[i], row + 1, i);
        const TDesignerField field = fields[i];
        QLineEdit* edit = *edits[i];
        connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            if (!FUpdating) FPresenter->FieldChanged(field, S(text));
        });
    }
    row += 2;
    grid->addWidget(Label("Schriftgröße (pt)", panel), row++, 0, 1, 2);
    edSize = Named(new QLineEdit(panel), "edSize");
    chkBold = Named(new QCheckBox(QString::fromUtf8("Fett"), panel), "chkBold");
    chkVisible = Named(new QCheckBox(QString::fromUtf8("Sichtbar"), panel), "chkVisible");
    grid->addWidget(edSize, row, 0);
    grid->addWidget(chkBold, row, 1);
    grid->addWidget(chkVisible, row++, 2, 1, 2);
    connect(edSize, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!FUpdating) FPresenter->FieldChanged(dfFontSize, S(text));
    });
    connect(chkBold, &QCheckBox::clicked, this, [this](bool on) {
        if (!FUpdating) FPresenter->BoldChanged(on);
    });
    connect(chkVisible, &QCheckBox::clicked, this, [this](bool on) {
        if (!FUpdating) FPresenter->VisibleChanged(on);
        SelectionChanged();  // a table stays visible: show that again
    });

    // A label and its list on one row, the label as wide as it needs.
    auto labelled = [&](const char* caption, QWidget* field) {
        auto* line = new QHBoxLayout;
        auto* label = Label(caption, panel);
        label->setMinimumWidth(90);
        line->addWidget(label);
        line->addWidget(field, 1);
        grid->addLayout(line, row++, 0, 1, 4);
    };
    cbScope = Named(new QComboBox(panel), "cbScope");
    for (TPageScope scope : {psFirst, psFollow, psAll}) cbScope->addItem(Q(PageScopeCaption(scope)));
    labelled("Erscheint auf:", cbScope);
    connect(cbScope, &QComboBox::activated, this, [this](int index) {
        if (!FUpdating) FPresenter->ScopeChosen(index);
    });
    cbAlign = Named(new QComboBox(panel), "cbAlign");
    for (TBlockAlign align : {baLeft, baCenter, baRight}) cbAlign->addItem(Q(BlockAlignCaption(align)));
    labelled("Ausrichtung:", cbAlign);
    connect(cbAlign, &QComboBox::activated, this, [this](int index) {
        if (!FUpdating) FPresenter->AlignChosen(index);
    });

    full(Label("Bilddatei (Logo):", panel));
    edFile = Named(new QLineEdit(panel), "edFile");
    btnFile = Button("...", "btnFile", panel);
    btnFile->setFixedWidth(40);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(edFile, 1);
    fileRow->addWidget(btnFile);
    grid->addLayout(fileRow, row++, 0, 1, 4);
    connect(edFile, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (!FUpdating) FPresenter->FieldChanged(dfFile, S(text));
    });
    connect(btnFile, &QPushButton::clicked, this, [this] {
        const QString file = ChooseFile(QString::fromUtf8("Logo wählen"));
        if (!file.isEmpty()) FPresenter->LogoChosen(S(file));
    });

    full(Label("Inhalt / Vorlage des Blocks:", panel));
    lblHelp = Named(new QLabel(panel), "lblHelp");
    lblHelp->setWordWrap(true);
    lblHelp->setForegroundRole(QPalette::PlaceholderText);
    full(lblHelp);
    mmText = Named(new QPlainTextEdit(panel), "mmText");
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    mmText->setFont(mono);
    mmText->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmText->setMinimumHeight(108);
    grid->addWidget(mmText, row++, 0, 1, 4);
    connect(mmText, &QPlainTextEdit::textChanged, this, [this] {
        if (!FUpdating) FPresenter->FieldChanged(dfText, FromEditorText(mmText->toPlainText()));
    });
    cbPlaceholder = Named(new QComboBox(panel), "cbPlaceholder");
    for (const std::string& entry : TDesignerPresenter::PlaceholderEntries()) cbPlaceholder->addItem(Q(entry));
    cbPlaceholder->setMaxVisibleItems(25);
    cbPlaceholder->setCurrentIndex(-1);
    labelled("Platzhalter:", cbPlaceholder);
    connect(cbPlaceholder, &QComboBox::activated, this, [this](int index) { InsertPlaceholder(index); });
    return panel;
}

QWidget* TDesignerForm::BuildBottomPanel() {
    auto* panel = Named(new QWidget(this), "bottomPanel");
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(10, 8, 10, 8);
    auto* reset = Button("Standardlayout", "btnDefaults", panel);
    connect(reset, &QPushButton::clicked, this, [this] { FPresenter->ResetToDefaults(); });
    row->addWidget(reset);
    row->addSpacing(150);
    row->addWidget(Label("Vorschau mit Rechnung:", panel));
    edPreviewNo = Named(new QLineEdit(Q(FPresenter->PreviewNumber()), panel), "edPreviewNo");
    edPreviewNo->setFixedWidth(110);
    connect(edPreviewNo, &QLineEdit::textChanged, this, [this](const QString& text) {
        FPresenter->SetPreviewNumber(S(text));
        ScheduleLiveView();
    });
    row->addWidget(edPreviewNo);
    auto* preview = Button("PDF-Vorschau", "btnPreview", panel);
    connect(preview, &QPushButton::clicked, this, [this] {
        if (!FPresenter->Preview()) edPreviewNo->setFocus();
    });
    row->addWidget(preview);
    row->addStretch(1);
    auto* save = Button("Speichern", "btnSave", panel);
    auto* cancel = Button("Abbrechen", "btnCancel", panel);
    for (QPushButton* b : {save, cancel}) b->setMinimumWidth(110);
    connect(save, &QPushButton::clicked, this, [this] {
        if (FPresenter->Save()) {
            if (!FSettings.Layout) FSettings.Layout = std::make_unique<TLayout>();
            FSettings.Layout->Assign(FPresenter->Layout());
            FClosing = true;
            accept();
        }
    });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    row->addWidget(save);
    row->addWidget(cancel);
    return panel;
}

void TDesignerForm::TakeBackgrounds() {
    if (FUpdating) return;
    FPresenter->BackgroundsChanged(S(edBgFirst->text()), S(edBgFollow->text()), chkSame->isChecked());
}

void TDesignerForm::InsertPlaceholder(int index) {
    if (index < 0) return;
    const std::string token = TDesignerPresenter::PlaceholderToken(S(cbPlaceholder->itemText(index)));
    if (mmText->isEnabled()) {
        mmText->textCursor().insertText(Q(token));  // replaces the selection
        mmText->setFocus();
    }
    cbPlaceholder->setCurrentIndex(-1);
}

void TDesignerForm::ScheduleLiveView() {
    if (chkLive && chkLive->isChecked()) FLiveTimer->start();
}

void TDesignerForm::RefreshLiveView() {
    if (FPresenter->Drag() != dkNone) return;  // the end of the drag schedules it again
    QElapsedTimer clock;
    clock.start();
    const TLiveViewResult result = FPresenter->RenderLiveView();
    if (result.PdfFile.empty())
        FLiveView->ShowMessage(result.Message);
    else
        FLiveView->ShowPdf(result.PdfFile);
    FLastLiveMs = clock.elapsed();
}

void TDesignerForm::UpdateUndoButtons() {
    btnUndo->setEnabled(FPresenter->CanUndo());
    btnRedo->setEnabled(FPresenter->CanRedo());
}

void TDesignerForm::ElementListChanged() {
    const bool updating = FUpdating;
    FUpdating = true;
    const std::vector<std::string> captions = FPresenter->ElementCaptions();
    if (lbElements->count() != static_cast<int>(captions.size())) {
        lbElements->clear();
        for (const std::string& caption : captions) lbElements->addItem(Q(caption));
    } else {
        for (int i = 0; i < lbElements->count(); ++i) lbElements->item(i)->setText(Q(captions[i]));
    }
    lbElements->setCurrentRow(FPresenter->Selected());
    FUpdating = updating;
}

void TDesignerForm::SelectionChanged() {
    const bool updating = FUpdating;
    FUpdating = true;
    const TDesignerControls c = FPresenter->Controls();
    lbElements->setCurrentRow(FPresenter->Selected());
    for (QLineEdit* edit : {edX, edY, edW, edH}) edit->setEnabled(c.HasSelection);
    SetText(edX, c.X);
    SetText(edY, c.Y);
    SetText(edW, c.Width);
    SetText(edH, c.Height);
    edSize->setEnabled(c.SizeEnabled);
    SetText(edSize, c.FontSize);
    chkBold->setEnabled(c.BoldEnabled);
    chkBold->setChecked(c.Bold);
    chkVisible->setEnabled(c.VisibleEnabled);
    chkVisible->setChecked(c.Visible);
    cbScope->setEnabled(c.ScopeEnabled);
    cbScope->setCurrentIndex(c.Scope);
    cbAlign->setEnabled(c.AlignEnabled);
    cbAlign->setCurrentIndex(c.Align);
    edFile->setEnabled(c.FileEnabled);
    btnFile->setEnabled(c.FileEnabled);
    SetText(edFile, c.File);
    mmText->setEnabled(c.TextEnabled);
    cbPlaceholder->setEnabled(c.TextEnabled);
    if (FromEditorText(mmText->toPlainText()) != c.Text) mmText->setPlainText(ToEditorText(c.Text));
    lblHelp->setText(Q(c.Help));
    btnDelete->setEnabled(c.DeleteEnabled);
    FUpdating = updating;
}

void TDesignerForm::PageChanged() {
    const bool updating = FUpdating;
    FUpdating = true;
    (FPresenter->ShowFirst() ? rbFirst : rbFollow)->setChecked(true);
    FUpdating = updating;
}

void TDesignerForm::ZoomChanged() { FCanvas->UpdateSize(); }

void TDesignerForm::BackgroundsChanged() {
    const bool updating = FUpdating;
    FUpdating = true;
    const TLayout& layout = FPresenter->Layout();
    SetText(edBgFirst, layout.BackgroundFirst);
    SetText(edBgFollow, layout.BackgroundFollow);
    chkSame->setChecked(layout.FollowSameAsFirst);
    for (QWidget* w : {static_cast<QWidget*>(edBgFollow), static_cast<QWidget*>(btnBgFollow),
                       static_cast<QWidget*>(btnBgFollowClear)})
        w->setEnabled(!layout.FollowSameAsFirst);
    FUpdating = updating;
}

void TDesignerForm::CanvasChanged() {
    if (FCanvas) FCanvas->update();
}

void TDesignerForm::LayoutEdited() {
    if (btnUndo) UpdateUndoButtons();
    ScheduleLiveView();
}

void TDesignerForm::reject() {
    if (!FClosing && !FPresenter->ConfirmDiscard()) return;
    FClosing = true;
    QDialog::reject();
}

void TDesignerForm::done(int result) {
    FLiveTimer->stop();
    SaveWindowState();
    QDialog::done(result);
}

void TDesignerForm::EndSession() {
    FLiveTimer->stop();
    const std::string problem = FPresenter->SaveRecoveryCopy();
    if (!problem.empty()) std::fprintf(stderr, "Velkaro: %s\n", problem.c_str());
    FClosing = true;
    done(QDialog::Rejected);
}

void TDesignerForm::closeEvent(QCloseEvent* event) {
    if (!FClosing && !FPresenter->ConfirmDiscard()) {
        event->ignore();
        return;
    }
    FClosing = true;
    QDialog::closeEvent(event);
}

bool TDesignerForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isActiveWindow()) {
        auto* key = static_cast<QKeyEvent*>(event);
        int dx = 0, dy = 0;
        switch (key->key()) {
        case Qt::Key_Left: dx = -1; break;
        case Qt::Key_Right: dx = 1; break;
        case Qt::Key_Up: dy = -1; break;
        case Qt::Key_Down: dy = 1; break;
        default: break;
        }
        if ((dx != 0 || dy != 0) && !TakesArrowKeys(QApplication::focusWidget()) &&
            FPresenter->MoveByKey(dx, dy, key->modifiers() & Qt::ShiftModifier))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velkaro
