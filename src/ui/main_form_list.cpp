// The main window's list for daily work: the two filters beside the search, the ticked
// count in the status bar, the status column's place, and the context menu of a row.
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QTableView>
#include <QHBoxLayout>

#include "ui/invoice_table_model.h"
#include "ui/main_form.h"
#include "ui/theme_qt.h"

namespace velkaro {

void TMainForm::BuildListControls(QGridLayout* searchBar, int column) {
    // Under the search field, so that the bar keeps its width.
    auto* filters = new QWidget(this);
    auto* box = new QHBoxLayout(filters);
    box->setContentsMargins(0, 2, 0, 0);
    box->setSpacing(16);
    chkUnsent = new QCheckBox(QString::fromUtf8("nur nicht &versendete"), filters);
    chkUnsent->setObjectName("chkUnsent");
    chkFindings = new QCheckBox(QString::fromUtf8("nur mit Be&fund"), filters);
    chkFindings->setObjectName("chkFindings");
    box->addWidget(chkUnsent);
    box->addWidget(chkFindings);
    box->addStretch(1);
    searchBar->addWidget(filters, 2, column, 1, 3);
}

void TMainForm::WireList() {
    chkUnsent->setChecked(FPresenter->OnlyUnsent());
    chkFindings->setChecked(FPresenter->OnlyWithFindings());
    connect(chkUnsent, &QCheckBox::toggled, this, [this](bool on) { FPresenter->SetOnlyUnsent(on); });
    connect(chkFindings, &QCheckBox::toggled, this, [this](bool on) { FPresenter->SetOnlyWithFindings(on); });

    // The status column's data is last; on screen it follows the number.
    lvInvoices->horizontalHeader()->moveSection(icStatus, kStatusColumnPlace);

    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { UpdateMarked(); });
    connect(FModel, &QAbstractItemModel::dataChanged, this, [this] { UpdateMarked(); });

    mnRow = new QMenu(this);
    mnRow->setObjectName("mnRow");
    const std::pair<const char*, void (TMainPresenter::*)(size_t)> items[] = {
        {"PDF &öffnen", &TMainPresenter::OpenRowPdf},
        {"&Ordner öffnen", &TMainPresenter::OpenRowFolder},
        {"&XML öffnen", &TMainPresenter::OpenRowXml},
        {"&Befund anzeigen", &TMainPresenter::ShowRowFindings},
        {"Erneut &erzeugen", &TMainPresenter::RegenerateRow},
    };
    const char* names[] = {"miRowPdf", "miRowFolder", "miRowXml", "miRowFindings", "miRowRegenerate"};
    int i = 0;
    for (const auto& [caption, command] : items) {
        if (i == 3) mnRow->addSeparator();
        QAction* action = mnRow->addAction(QString::fromUtf8(caption));
        action->setObjectName(names[i++]);
        connect(action, &QAction::triggered, this, [this, command = command] {
            if (FMenuRow >= 0) ((*FPresenter).*command)(static_cast<size_t>(FMenuRow));
        });
    }
    lvInvoices->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvInvoices, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = lvInvoices->indexAt(pos);
        if (index.isValid()) ShowRowMenu(index.row(), lvInvoices->viewport()->mapToGlobal(pos));
    });
    UpdateMarked();
}

void TMainForm::ShowRowMenu(int row, const QPoint& globalPos) {
    // A right click works on the row under the mouse, as the file manager does.
    if (!lvInvoices->selectionModel()->isRowSelected(row, {})) lvInvoices->selectRow(row);
    FMenuRow = row;
    const TRowActions actions = FPresenter->RowActions(static_cast<size_t>(row));
    const bool enabled[] = {actions.OpenPdf, actions.OpenFolder, actions.OpenXml, actions.ShowFindings,
                            actions.Regenerate};
    int i = 0;
    for (QAction* action : mnRow->actions())
        if (!action->isSeparator()) action->setEnabled(enabled[i++]);
    // In the dark look a menu has the list's own colour: a lighter one sets it apart.
    QPalette palette = QApplication::palette();
    if (!IsLightStyle()) palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    mnRow->setPalette(palette);
    mnRow->popup(globalPos);
}

bool TMainForm::HandleListKey(QObject* watched, QEvent* event) {
    if (watched != lvInvoices || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool menuKey = key->key() == Qt::Key_Menu ||
                         (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
    const QModelIndex current = lvInvoices->currentIndex();
    if (!menuKey || !current.isValid()) return false;
    const QRect cell = lvInvoices->visualRect(current);
    ShowRowMenu(current.row(), lvInvoices->viewport()->mapToGlobal(cell.bottomLeft()));
    return true;
}

void TMainForm::UpdateMarked() { lblMarked->setText(QString::fromStdString(FPresenter->MarkedText())); }

} // namespace velkaro
