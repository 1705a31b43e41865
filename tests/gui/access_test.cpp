// The panel and the module windows for a keyboard and a screen reader: the accessible tree
// Qt hands to the platform, the controls' actions, Tab and Space on the panel, and a panel
// that looks exactly as before until the keyboard focus is shown.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QtTest>
#include <memory>

#include "core/panel_controls.h"
#include "drawn_access.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/display8.h"
#include "modules/key.h"
#include "modules/key2.h"
#include "modules/module_windows.h"
#include "views/debug_views.h"
#include "views/memory.h"

using namespace mira;
using gui::DrawnControls;
using gui::TmiraFM;

namespace {

QAccessibleInterface* childNamed(QAccessibleInterface* parent, const QString& name) {
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface* c = parent->child(i);
        if (c && c->text(QAccessible::Name) == name) return c;
    }
    return nullptr;
}

QAccessibleInterface* childStartingWith(QAccessibleInterface* parent, const QString& prefix) {
    for (int i = 0; i < parent->childCount(); ++i) {
        QAccessibleInterface* c = parent->child(i);
        if (c && c->text(QAccessible::Name).startsWith(prefix)) return c;
    }
    return nullptr;
}

void act(QAccessibleInterface* c) {
    QAccessibleActionInterface* a = c->actionInterface();
    QVERIFY(a);
    QVERIFY(!a->actionNames().isEmpty());
    a->doAction(a->actionNames().first());
}

// A text listing of the tree under `iface`, as a screen reader would list it.
void list(QAccessibleInterface* iface, int depth, QStringList& out) {
    static const QHash<QAccessible::Role, QString> roles{
        {QAccessible::CheckBox, QStringLiteral("check box")},
        {QAccessible::Button, QStringLiteral("push button")},
        {QAccessible::StaticText, QStringLiteral("label")},
        {QAccessible::Grouping, QStringLiteral("panel")},
        {QAccessible::Window, QStringLiteral("window")}};
    QString line = QString(depth * 2, QLatin1Char(' ')) + QLatin1Char('[') +
                   roles.value(iface->role(), QString::number(iface->role())) + QStringLiteral("] \"") +
                   iface->text(QAccessible::Name) + QLatin1Char('"');
    if (const QString d = iface->text(QAccessible::Description); !d.isEmpty())
        line += QStringLiteral(" (") + d + QLatin1Char(')');
    if (iface->state().checked) line += QStringLiteral(" {checked}");
    out << line;
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface* c = iface->child(i)) list(c, depth + 1, out);
}

QImage grabbed(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// The panel picture as its own paint draws it, without anything laid over it.
QImage paintedAlone(QWidget* w) {
    QImage img(w->size() * w->devicePixelRatioF(), QImage::Format_RGB32);
    img.setDevicePixelRatio(w->devicePixelRatioF());
    w->render(&img, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return img;
}

}  // namespace

class AccessTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    gui_test::ScriptedPrompter prompter_;

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { dir_ = gui_test::freshDataDir(); }

    void panelTreeNamesEveryControlAndActsLikeAClick() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        w->machine().options.radix[0] = 3;  // octal
        QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(w->image());
        QVERIFY(panel);
        QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Front panel"));
        QVERIFY(panel->childCount() >= core::kPanelControlCount);
        struct Expect {
            const char* name;
            QAccessible::Role role;
        };
        const Expect switches[] = {
            {"Switch register bit 7", QAccessible::CheckBox}, {"Switch register bit 0", QAccessible::CheckBox},
            {"LOAD ADDR", QAccessible::Button},  {"DEPOSIT", QAccessible::Button},
            {"EXAMINE", QAccessible::Button},    {"RUN", QAccessible::Button},
            {"HALT", QAccessible::Button},       {"SINGLE/CONT", QAccessible::CheckBox},
            {"SLOW/FAST", QAccessible::CheckBox}};
        for (const Expect& e : switches) {
            QAccessibleInterface* c = childNamed(panel, QString::fromLatin1(e.name));
            QVERIFY2(c, e.name);
            QCOMPARE(c->role(), e.role);
            QCOMPARE(c->parent(), panel);
            QCOMPARE(panel->child(panel->indexOfChild(c)), c);
            QVERIFY(c->actionInterface());
            // The object stands where the picture draws the paddle.
            const QPoint at = w->image()->mapFromGlobal(c->rect().center());
            QCOMPARE(panel->childAt(c->rect().center().x(), c->rect().center().y()), c);
            QVERIFY(at.y() > core::kSwitchPictureTop && at.y() < core::kSwitchPictureBottom);
        }
        // A data switch up is a 1 bit and reads checked.
        QAccessibleInterface* bit0 = childNamed(panel, QStringLiteral("Switch register bit 0"));
        QVERIFY(bit0->state().checked);
        act(bit0);
        QCOMPARE(w->machine().sr, 254);
        QVERIFY(!bit0->state().checked);
        QVERIFY(w->switchPictureThrown(7));
        // LOAD ADDR through its action: thrown and returned, PC = SR, as a click.
        act(childNamed(panel, QStringLiteral("LOAD ADDR")));
        // Held for a moment, as a click holds it: PC passes through 0.
        QCOMPARE(w->machine().switches[core::kSwitchLoadAddress], 1);
        QVERIFY(childNamed(panel, QStringLiteral("LOAD ADDR"))->state().pressed);
        QCOMPARE(w->machine().pc, 0);
        QTRY_COMPARE(w->machine().switches[core::kSwitchLoadAddress], 0);
        QCOMPARE(w->machine().pc, 254);
        QAccessibleInterface* pc = childStartingWith(panel, QStringLiteral("PC "));
        QVERIFY(pc);
        QCOMPARE(pc->text(QAccessible::Name), QStringLiteral("PC 0o376"));
        QCOMPARE(pc->role(), QAccessible::StaticText);
        QVERIFY(pc->state().readOnly);
        QVERIFY(pc->valueInterface());
        QCOMPARE(pc->valueInterface()->currentValue().toInt(), 254);
        QVERIFY(!pc->actionInterface());
        QVERIFY(childNamed(panel, QStringLiteral("FETCH on")));
        QVERIFY(childNamed(panel, QStringLiteral("RUN off")));
        w->machine().options.radix[0] = 1;
        QCOMPARE(pc->text(QAccessible::Name), QStringLiteral("PC $FE"));
        // SLOW/FAST: up is SLOW.
        QAccessibleInterface* speed = childNamed(panel, QStringLiteral("SLOW/FAST"));
        QCOMPARE(speed->text(QAccessible::Description), QStringLiteral("SLOW"));
        act(speed);
        QVERIFY(w->machine().fastClock());
        QCOMPARE(speed->text(QAccessible::Description), QStringLiteral("FAST"));
    }

    void tabToDataSwitchZeroAndSpaceThrowsIt() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        QWidget* image = w->image();
        image->setFocus(Qt::OtherFocusReason);
        QVERIFY(image->hasFocus());
        DrawnControls* dc = DrawnControls::of(image);
        QVERIFY(dc);
        // Tab walks the switches from bit 7 and wraps past SLOW/FAST; Shift+Tab goes back.
        for (int i = 0; i < 8; ++i) QTest::keyClick(image, Qt::Key_Tab);
        QCOMPARE(dc->focusIndex(), 7);
        QCOMPARE(QString::fromStdString(dc->table().spokenName(dc->focusIndex())),
                 QStringLiteral("Switch register bit 0"));
        QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(image);
        QCOMPARE(panel->focusChild()->text(QAccessible::Name), QStringLiteral("Switch register bit 0"));
        QVERIFY(panel->focusChild()->state().focused);
        QTest::keyClick(image, Qt::Key_Space);
        QCOMPARE(w->machine().sr, 254);
        QTest::keyClick(image, Qt::Key_Space);
        QCOMPARE(w->machine().sr, 255);
        for (int i = 0; i < 8; ++i) QTest::keyClick(image, Qt::Key_Tab);
        QCOMPARE(dc->focusIndex(), 0);  // 7 more to SLOW/FAST, then round to bit 7
        QTest::keyClick(image, Qt::Key_Backtab);
        QCOMPARE(dc->focusIndex(), core::kSwitchSlowFast);
        // A momentary switch is held as long as the space bar.
        dc->setFocusIndex(core::kSwitchHalt);
        QTest::keyPress(image, Qt::Key_Space);
        QCOMPARE(w->machine().switches[core::kSwitchHalt], 1);
        QTest::keyRelease(image, Qt::Key_Space);
        QCOMPARE(w->machine().switches[core::kSwitchHalt], 0);
        // Enter works the control at once, and the function keys are left to the window.
        dc->setFocusIndex(3);
        QTest::keyClick(image, Qt::Key_Return);
        QCOMPARE(w->machine().sr, 255 & ~(1 << 4));
        QTest::keyClick(image, Qt::Key_F12);
        QVERIFY(w->views().memFM->isVisible());
    }

    void panelLooksTheSameUntilTheKeyboardFocusShows() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        QWidget* image = w->image();
        const QImage alone = paintedAlone(image);
        QCOMPARE(grabbed(image), alone);
        // Focus taken by a click or by the window shows no ring.
        image->setFocus(Qt::MouseFocusReason);
        QCOMPARE(grabbed(image), alone);
        QTest::keyClick(image, Qt::Key_Tab);
        DrawnControls* dc = DrawnControls::of(image);
        QVERIFY(dc->ringShown());
        const QImage ringed = grabbed(image);
        QVERIFY(ringed != alone);
        // The ring is all that changed, and only around the control in focus.
        const QRect ring = dc->ringRect();
        const qreal dpr = image->devicePixelRatioF();
        for (int y = 0; y < ringed.height(); y += 2)
            for (int x = 0; x < ringed.width(); x += 2)
                if (!ring.contains(QPoint(int(x / dpr), int(y / dpr))))
                    QCOMPARE(ringed.pixel(x, y), alone.pixel(x, y));
        // For a look: MIRA8_SHOTS names a folder for the picture with the ring.
        if (const QByteArray shots = qgetenv("MIRA8_SHOTS"); !shots.isEmpty())
            ringed.save(QString::fromLocal8Bit(shots) + QStringLiteral("/panel-focus-ring.png"));
        image->clearFocus();
        QVERIFY(!dc->ringShown());
        QCOMPARE(grabbed(image), alone);
    }

    void moduleWindowsOfferTheirKeysAndTexts() {
        auto w = gui_test::openShown<TmiraFM>(&prompter_);
        auto* key = w->modules().find<gui::TkeyFM>();
        QAccessibleInterface* pad = QAccessible::queryAccessibleInterface(key->image());
        QVERIFY(pad);
        for (const char* caption : devices::kKeypadCaptions)
            QVERIFY2(childNamed(pad, QString::fromLatin1(caption)), caption);
        QAccessibleInterface* ctl = childNamed(pad, QStringLiteral("CTL"));
        QVERIFY(ctl);
        QVERIFY(!ctl->state().checked);
        act(ctl);
        QVERIFY(key->keypad().ctrlDown());
        QVERIFY(ctl->state().checked);
        QVERIFY(childNamed(pad, QStringLiteral("Lamp L on")));
        act(childNamed(pad, QStringLiteral("8")));
        QCOMPARE(key->keypad().keyData(), 1 + devices::kKeypadCtlBit);

        auto* key2 = w->modules().find<gui::TkeypadFM>();
        QAccessibleInterface* pad2 = QAccessible::queryAccessibleInterface(key2->image());
        const std::string first = key2->keyTable().captions[0];
        QAccessibleInterface* k0 = childNamed(pad2, QString::fromStdString(first));
        QVERIFY(k0);
        QCOMPARE(k0->role(), QAccessible::Button);
        QCOMPARE(k0->text(QAccessible::Description), key2->keyHint(0));

        // For a look: the module windows' trees, listed into MIRA8_SHOTS.
        if (const QByteArray shots = qgetenv("MIRA8_SHOTS"); !shots.isEmpty()) {
            QStringList out;
            for (QWidget* x : QApplication::allWidgets())
                if (x != w->image() && DrawnControls::of(x))
                    list(QAccessible::queryAccessibleInterface(x), 0, out);
            QFile f(QString::fromLocal8Bit(shots) + QStringLiteral("/modules-tree.txt"));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Text));
            f.write(out.join(QLatin1Char('\n')).toUtf8() + '\n');
        }

        auto* ten = w->modules().find<gui::Tdisp8FM>();
        QAccessibleInterface* disp = QAccessible::queryAccessibleInterface(ten->image());
        QVERIFY(childNamed(disp, QStringLiteral("Display blank")));
        for (int code : {1, 2, 3}) ten->display().command(code);
        const QString shown = QString::fromStdString(ten->display().text()).trimmed();
        QVERIFY(!shown.isEmpty());
        QVERIFY(childNamed(disp, QStringLiteral("Display ") + shown));
    }
};

QTEST_MAIN(AccessTest)
#include "access_test.moc"
