#pragma once
// The keys of a main window as a dialog knows them: Enter in a single-line control
// presses the default button, and the window's shortcuts (its menu items') work
// whatever control has the focus, also where the control would take the key for
// itself (Ctrl+E moves a text field's cursor to the line end).
#include <QObject>

#include <functional>
#include <vector>

class QWidget;

namespace velkaro {

class TWindowKeys : public QObject {
public:
    // `fields`: the controls (with their inner parts) where Enter runs `onEnter`.
    // Watches the application's events for `window` while the object lives.
    TWindowKeys(QWidget& window, std::vector<QWidget*> fields, std::function<void()> onEnter);
    ~TWindowKeys() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool InField(const QWidget* widget) const;

    QWidget& FWindow;
    std::vector<QWidget*> FFields;
    std::function<void()> FOnEnter;
};

} // namespace velkaro
