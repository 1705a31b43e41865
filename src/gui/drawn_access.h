// Keyboard focus, the focus ring and the screen reader's objects for the controls a window
// draws itself, all read from the window's one table of drawn controls. Attached to the
// picture widget from outside: the window keeps drawing and taking clicks as before.
#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "core/drawn_controls.h"

class QAccessibleInterface;
class QWidget;

namespace mira::gui {

class FocusRing;

class DrawnControls final : public QObject {
public:
    // The ring takes the colour of the window's own lettering.
    // Without `keyboard` the picture keeps its own keys (the ASCII keyboard takes them all)
    // and only the screen reader sees the controls.
    DrawnControls(QWidget* picture, core::ControlTable table, QString name, QColor ring,
                  bool keyboard = true);
    ~DrawnControls() override;

    // The controls of `picture`, or null.
    static DrawnControls* of(const QObject* picture);

    const core::ControlTable& table() const { return table_; }
    QWidget* picture() const { return picture_; }
    const QString& name() const { return name_; }

    int focusIndex() const { return focus_; }
    // Moves the keyboard focus to control i (−1 none) and tells the screen reader.
    void setFocusIndex(int i);
    // The ring shows while the picture has the focus and the keyboard was used last.
    bool ringShown() const;
    QRect ringRect() const;
    QColor ringColour() const { return ring_; }

    // A screen reader's action (or Enter) on control i: exactly a click, a key held down
    // for a moment.
    void act(int i);

    // While busy (a fast run) changes are announced at most once a second, so that a run
    // does not flood the reader; otherwise within a few frames.
    void setBusy(std::function<bool()> busy) { busy_ = std::move(busy); }
    // Sends the value and state changes since the last look to the screen reader.
    void announceChanges();
    // The first accessible object made for the picture starts the change watch: with no
    // screen reader looking, nothing is compared.
    void startWatching();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void moveFocus(bool backward);
    // Lets go of the control the space bar holds down, if any.
    void releaseHeld();
    void updateRing();
    void tellFocus();

    QWidget* picture_;
    core::ControlTable table_;
    QString name_;
    QColor ring_;
    FocusRing* ringWidget_ = nullptr;
    int focus_ = -1;
    int held_ = -1;          // the control the space bar holds down
    QSet<int> clicking_;     // keys an action holds down for a moment
    bool keyboardUsed_ = false;
    std::function<bool()> busy_;
    QTimer watch_;
    std::vector<std::string> last_;
};

// A left-button press (down) or release at `at`, sent to `w` as the mouse would: a control
// worked from the keyboard or by a screen reader goes the way of a click.
void sendClick(QWidget* w, QPoint at, bool down);

// The accessible object of a picture with drawn controls (used by the factory; public for
// tests that walk the tree).
QAccessibleInterface* drawnControlsFactory(const QString& key, QObject* object);

}  // namespace mira::gui
