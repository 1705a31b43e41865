#include "drawn_access.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <utility>

namespace mira::gui {

namespace {

// Announcements: a few frames after a change, at most once a second in a fast run.
constexpr int kAnnounceMs = 100;
constexpr int kAnnounceBusyMs = 1000;
// How long an action or Enter holds a key down, as a quick click does.
constexpr int kClickHoldMs = 120;
// The ring stands this far outside the control, so it never covers the control itself.
constexpr int kRingMargin = 3;

// Set while a click of our own is on its way, which must not hide the keyboard's ring.
bool sendingClick = false;

QHash<const QObject*, DrawnControls*>& registry() {
    static QHash<const QObject*, DrawnControls*> r;
    return r;
}

}  // namespace

// Drawn over the picture only while the keyboard focus is shown; otherwise hidden, so the
// picture looks exactly as it did without it.
class FocusRing final : public QWidget {
public:
    FocusRing(DrawnControls& owner, QWidget* picture) : QWidget(picture), owner_(owner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
        // A dark edge under the lettering colour keeps the ring visible on light and dark
        // parts of the picture alike.
        p.setPen(QPen(QColor(0, 0, 0, 170), 3));
        p.drawRoundedRect(r, 4, 4);
        p.setPen(QPen(owner_.ringColour(), 1.6));
        p.drawRoundedRect(r, 4, 4);
    }

private:
    DrawnControls& owner_;
};

// --- accessible objects ---

namespace {

class ControlAccessible final : public QAccessibleInterface,
                                public QAccessibleActionInterface,
                                public QAccessibleValueInterface {
public:
    ControlAccessible(DrawnControls* owner, int index) : owner_(owner), index_(index) {}

    bool isValid() const override { return owner_ && index_ < owner_->table().size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent() ? parent()->window() : nullptr; }
    QAccessibleInterface* parent() const override {
        return owner_ ? QAccessible::queryAccessibleInterface(owner_->picture()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) return {};
        const core::ControlTable& table = owner_->table();
        switch (t) {
            case QAccessible::Name: return QString::fromStdString(table.spokenName(index_));
            case QAccessible::Value:
            case QAccessible::Description: return QString::fromStdString(table.state(index_));
            default: return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) return {};
        const core::ControlArea a = owner_->table().at(index_).area;
        return {owner_->picture()->mapToGlobal(QPoint(a.x, a.y)), QSize(a.width, a.height)};
    }

    QAccessible::Role role() const override {
        if (!isValid()) return QAccessible::NoRole;
        switch (owner_->table().at(index_).kind) {
            case core::ControlKind::Toggle: return QAccessible::CheckBox;
            case core::ControlKind::Key: return QAccessible::Button;
            case core::ControlKind::Readout: return QAccessible::StaticText;
        }
        return QAccessible::NoRole;
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const core::ControlTable& table = owner_->table();
        const auto kind = table.at(index_).kind;
        const QWidget* picture = owner_->picture();
        s.invisible = !picture->isVisible() || !table.present(index_);
        s.readOnly = kind == core::ControlKind::Readout;
        s.focusable = table.operable(index_);
        s.focused = s.focusable && picture->hasFocus() && owner_->focusIndex() == index_;
        if (kind == core::ControlKind::Toggle) {
            s.checkable = true;
            s.checked = table.isOn(index_);
        }
        if (kind == core::ControlKind::Key) s.pressed = table.isOn(index_);
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (!isValid()) return nullptr;
        if (t == QAccessible::ActionInterface && owner_->table().operable(index_))
            return static_cast<QAccessibleActionInterface*>(this);
        if (t == QAccessible::ValueInterface && owner_->table().at(index_).number)
            return static_cast<QAccessibleValueInterface*>(this);
        return nullptr;
    }

    // Actions
    QStringList actionNames() const override {
        if (!isValid() || !owner_->table().operable(index_)) return {};
        const bool toggle = owner_->table().at(index_).kind == core::ControlKind::Toggle;
        return {toggle ? toggleAction() : pressAction(), setFocusAction()};
    }
    void doAction(const QString& name) override {
        if (!isValid()) return;
        if (name == setFocusAction()) {
            owner_->picture()->setFocus(Qt::OtherFocusReason);
            owner_->setFocusIndex(index_);
        } else if (name == toggleAction() || name == pressAction()) {
            owner_->act(index_);
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name == setFocusAction()) return {};
        return {QStringLiteral("Space")};
    }

    // Value: the number a readout shows.
    QVariant currentValue() const override {
        const auto& f = owner_->table().at(index_).number;
        const auto v = f ? f() : std::nullopt;
        return v ? QVariant(static_cast<qlonglong>(*v)) : QVariant();
    }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return QVariant(0xFFFF); }
    QVariant minimumValue() const override { return QVariant(0); }
    QVariant minimumStepSize() const override { return QVariant(1); }

private:
    QPointer<DrawnControls> owner_;
    int index_;
};

// The picture: its drawn controls first, then any widgets laid over it.
class PictureAccessible final : public QAccessibleWidget {
public:
    PictureAccessible(QWidget* w, DrawnControls* owner)
        : QAccessibleWidget(w, w->isWindow() ? QAccessible::Window : QAccessible::Grouping),
          owner_(owner) {
        owner->startWatching();
    }
    ~PictureAccessible() override {
        for (QAccessible::Id id : std::as_const(ids_)) QAccessible::deleteAccessibleInterface(id);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && owner_) return owner_->name();
        return QAccessibleWidget::text(t);
    }

    int controlCount() const { return owner_ ? owner_->table().size() : 0; }

    QList<QWidget*> laidOver() const {
        QList<QWidget*> out;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            if (!w || w->isWindow() || qobject_cast<QMenu*>(w) || dynamic_cast<FocusRing*>(w))
                continue;
            out.append(w);
        }
        return out;
    }

    int childCount() const override { return controlCount() + static_cast<int>(laidOver().size()); }

    QAccessibleInterface* child(int index) const override {
        if (index < 0) return nullptr;
        if (index < controlCount()) {
            auto it = ids_.constFind(index);
            if (it == ids_.constEnd())
                it = ids_.insert(index, QAccessible::registerAccessibleInterface(
                                            new ControlAccessible(owner_, index)));
            return QAccessible::accessibleInterface(*it);
        }
        const QList<QWidget*> over = laidOver();
        const int k = index - controlCount();
        return k < over.size() ? QAccessible::queryAccessibleInterface(over.at(k)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* c) const override {
        if (!c) return -1;
        for (auto it = ids_.constBegin(); it != ids_.constEnd(); ++it)
            if (QAccessible::accessibleInterface(it.value()) == c) return it.key();
        const int k = static_cast<int>(laidOver().indexOf(qobject_cast<QWidget*>(c->object())));
        return k < 0 ? -1 : controlCount() + k;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        if (!owner_) return nullptr;
        const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
        const int i = owner_->table().hit(at.x(), at.y());
        return i >= 0 ? child(i) : QAccessibleWidget::childAt(x, y);
    }

    QAccessibleInterface* focusChild() const override {
        if (owner_ && widget()->hasFocus() && owner_->focusIndex() >= 0)
            return child(owner_->focusIndex());
        return QAccessibleWidget::focusChild();
    }

private:
    QPointer<DrawnControls> owner_;
    mutable QHash<int, QAccessible::Id> ids_;
};

}  // namespace

QAccessibleInterface* drawnControlsFactory(const QString&, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    if (DrawnControls* dc = DrawnControls::of(object))
        return new PictureAccessible(static_cast<QWidget*>(object), dc);
    return nullptr;
}

// --- DrawnControls ---

void sendClick(QWidget* w, QPoint at, bool down) {
    const QPointF local(at);
    QMouseEvent e(down ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, local,
                  w->mapToGlobal(local), Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                  Qt::NoModifier);
    sendingClick = true;
    QCoreApplication::sendEvent(w, &e);
    sendingClick = false;
}

DrawnControls::DrawnControls(QWidget* picture, core::ControlTable table, QString name, QColor ring,
                             bool keyboard)
    : QObject(picture), picture_(picture), table_(std::move(table)), name_(std::move(name)),
      ring_(ring) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(drawnControlsFactory);
        return true;
    }();
    (void)factoryInstalled;
    registry().insert(picture, this);
    if (keyboard) {
        picture->setFocusPolicy(Qt::StrongFocus);
        picture->installEventFilter(this);
    }
    ringWidget_ = new FocusRing(*this, picture);
    watch_.setSingleShot(true);
    connect(&watch_, &QTimer::timeout, this, [this] {
        announceChanges();
        // A hidden window has nothing to tell and is looked at only now and then.
        const bool slow = (busy_ && busy_()) || !picture_->isVisible();
        watch_.start(slow ? kAnnounceBusyMs : kAnnounceMs);
    });
}

DrawnControls::~DrawnControls() { registry().remove(picture_); }

DrawnControls* DrawnControls::of(const QObject* picture) { return registry().value(picture); }

bool DrawnControls::ringShown() const {
    return keyboardUsed_ && focus_ >= 0 && picture_->hasFocus() && table_.present(focus_);
}

QRect DrawnControls::ringRect() const {
    if (focus_ < 0) return {};
    const core::ControlArea a = table_.at(focus_).area;
    return QRect(a.x, a.y, a.width, a.height)
        .adjusted(-kRingMargin, -kRingMargin, kRingMargin, kRingMargin);
}

void DrawnControls::updateRing() {
    if (!ringShown()) {
        ringWidget_->hide();
        return;
    }
    ringWidget_->setGeometry(ringRect());
    ringWidget_->raise();
    ringWidget_->show();
    ringWidget_->update();
}

void DrawnControls::tellFocus() {
    if (focus_ < 0 || !picture_->hasFocus() || !QAccessible::isActive()) return;
    QAccessibleInterface* parent = QAccessible::queryAccessibleInterface(picture_);
    if (QAccessibleInterface* c = parent ? parent->child(focus_) : nullptr) {
        QAccessibleEvent ev(c, QAccessible::Focus);
        QAccessible::updateAccessibility(&ev);
    }
}

void DrawnControls::setFocusIndex(int i) {
    if (i >= table_.size()) i = -1;
    if (held_ != i) releaseHeld();
    focus_ = i;
    updateRing();
    tellFocus();
}

void DrawnControls::releaseHeld() {
    if (held_ < 0) return;
    table_.release(std::exchange(held_, -1));
}

void DrawnControls::moveFocus(bool backward) {
    keyboardUsed_ = true;
    setFocusIndex(table_.nextFocus(focus_, backward));
}

void DrawnControls::act(int i) {
    if (i < 0 || i >= table_.size() || !table_.operable(i)) return;
    if (table_.at(i).kind != core::ControlKind::Key) {
        table_.activate(i);
        announceChanges();
        return;
    }
    // A key is held as long as a quick click holds it: a program running fast looks at
    // HALT only between instructions and would never see a press let go at once.
    if (i == held_ || clicking_.contains(i)) return;
    clicking_.insert(i);
    table_.press(i);
    announceChanges();
    QTimer::singleShot(kClickHoldMs, this, [this, i] {
        clicking_.remove(i);
        table_.release(i);
        announceChanges();
    });
}

void DrawnControls::startWatching() {
    if (!watch_.isActive()) watch_.start(kAnnounceMs);
}

void DrawnControls::announceChanges() {
    const std::vector<int> changed = table_.changedSince(last_);
    if (changed.empty() || !QAccessible::isActive()) return;
    QAccessibleInterface* parent = QAccessible::queryAccessibleInterface(picture_);
    if (!parent) return;
    for (int i : changed) {
        QAccessibleInterface* c = parent->child(i);
        if (!c) continue;
        const core::DrawnControl& d = table_.at(i);
        if (d.kind == core::ControlKind::Readout) {
            QAccessibleEvent named(c, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&named);
            if (d.number) {
                QAccessibleValueChangeEvent value(c, c->valueInterface()->currentValue());
                QAccessible::updateAccessibility(&value);
            }
        } else {
            QAccessible::State s;
            s.checked = d.kind == core::ControlKind::Toggle;
            s.pressed = d.kind == core::ControlKind::Key;
            s.invisible = true;
            QAccessibleStateChangeEvent ev(c, s);
            QAccessible::updateAccessibility(&ev);
        }
    }
}

bool DrawnControls::eventFilter(QObject* watched, QEvent* e) {
    if (watched != picture_) return false;
    switch (e->type()) {
        case QEvent::FocusIn: {
            const auto reason = static_cast<QFocusEvent*>(e)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
                keyboardUsed_ = true;
                if (focus_ < 0) focus_ = table_.nextFocus(-1, reason == Qt::BacktabFocusReason);
            }
            updateRing();
            tellFocus();
            break;
        }
        case QEvent::FocusOut:
            releaseHeld();
            updateRing();
            break;
        case QEvent::MouseButtonPress: {
            // The mouse works the picture as before; the keyboard takes up where it clicked.
            const auto* m = static_cast<QMouseEvent*>(e);
            if (sendingClick) break;
            keyboardUsed_ = false;
            const QPoint at = m->position().toPoint();
            const int i = table_.hit(at.x(), at.y());
            if (i >= 0 && table_.operable(i)) focus_ = i;
            updateRing();
            break;
        }
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(e);
            const auto mods = k->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
            if (mods != Qt::NoModifier) return false;
            switch (k->key()) {
                case Qt::Key_Tab:
                case Qt::Key_Right: moveFocus(false); return true;
                case Qt::Key_Backtab:
                case Qt::Key_Left: moveFocus(true); return true;
                case Qt::Key_Space:
                    // Held as long as the key: HALT stops a run only while it is down.
                    keyboardUsed_ = true;
                    if (!k->isAutoRepeat() && held_ < 0 && focus_ >= 0 && table_.operable(focus_)) {
                        held_ = focus_;
                        table_.press(held_);
                        announceChanges();
                    }
                    updateRing();
                    return true;
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    keyboardUsed_ = true;
                    if (!k->isAutoRepeat() && focus_ >= 0) act(focus_);
                    updateRing();
                    return true;
                default: return false;
            }
            return false;
        }
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->key() != Qt::Key_Space) return false;
            if (!k->isAutoRepeat() && held_ >= 0) {
                releaseHeld();
                announceChanges();
            }
            return true;
        }
        default: break;
    }
    return false;
}

}  // namespace mira::gui
