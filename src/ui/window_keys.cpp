// Enter and shortcuts of a main window.
#include "ui/window_keys.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <algorithm>

namespace velkaro {

TWindowKeys::TWindowKeys(QWidget& window, std::vector<QWidget*> fields, std::function<void()> onEnter)
    : QObject(&window), FWindow(window), FFields(std::move(fields)), FOnEnter(std::move(onEnter)) {
    qApp->installEventFilter(this);
}

TWindowKeys::~TWindowKeys() { qApp->removeEventFilter(this); }

// One of the fields or a part of it in the same window (a field's open popup, such as
// the calendar or the company list, is a window of its own and keeps its Enter).
bool TWindowKeys::InField(const QWidget* widget) const {
    return std::any_of(FFields.begin(), FFields.end(),
                       [widget](const QWidget* field) { return field == widget || field->isAncestorOf(widget); });
}

bool TWindowKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != &FWindow) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::ShortcutOverride) {
        // Not taken by the control: the shortcut map then gives the key to the window's item.
        const QKeySequence pressed(key->keyCombination());
        const QList<QAction*> actions = FWindow.findChildren<QAction*>();
        const bool windowKey = std::any_of(actions.begin(), actions.end(), [&](const QAction* action) {
            return action->isEnabled() && action->shortcuts().contains(pressed);
        });
        if (!windowKey) return false;
        event->ignore();
        return true;
    }
    const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                       (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (!enter || !InField(widget)) return false;
    // A date typed by hand counts as it reads when Enter is pressed.
    for (QWidget* w = widget; w && w != &FWindow; w = w->parentWidget())
        if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) spin->interpretText();
    FOnEnter();
    return true;
}

} // namespace velkaro
