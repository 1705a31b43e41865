// The serial component on a pseudo-terminal pair, and the board link window against the
// stand-in board: directory, program write and options.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "gui_test_support.h"
#include "link/port_map.h"
#include "link/prog.h"
#include "link/serial.h"
#include "link/serial2.h"
#include "core/timer.h"
#include "mira/mira.h"

using namespace mira;
using mira::gui::TprogFM;
using mira::gui::TSerial;

namespace {

// The far end of a pseudo-terminal: what a device on the other side of the port sees.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        path_ = ptsname(master_);
        termios t{};
        const int s = open(path_.c_str(), O_RDWR | O_NOCTTY);
        tcgetattr(s, &t);
        cfmakeraw(&t);
        tcsetattr(s, TCSANOW, &t);
        close(s);
    }
    ~Pty() {
        if (master_ >= 0) close(master_);
    }
    const std::string& path() const { return path_; }
    void send(std::initializer_list<int> bytes) {
        std::string s;
        for (int b : bytes) s += static_cast<char>(b);
        (void)::write(master_, s.data(), s.size());
    }
    std::string received() {
        std::string out;
        char buf[256];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
        return out;
    }

private:
    int master_ = -1;
    std::string path_;
};

class Boardsim {
public:
    explicit Boardsim(const QStringList& args) {
        proc_.setProgram(QStringLiteral(MIRA8_BOARDSIM_PATH));
        proc_.setArguments(args);
        proc_.start();
        if (proc_.waitForStarted(5000) && proc_.waitForReadyRead(5000))
            path_ = QString::fromLocal8Bit(proc_.readLine()).trimmed().toStdString();
    }
    ~Boardsim() {
        proc_.terminate();
        proc_.waitForFinished(3000);
    }
    const std::string& path() const { return path_; }

private:
    QProcess proc_;
    std::string path_;
};

class LinkTest : public QObject {
    Q_OBJECT

    gui_test::ScriptedPrompter prompter_;
    std::unique_ptr<QTemporaryDir> dir_;

private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        dir_ = gui_test::freshDataDir();
        prompter_.messages.clear();
        prompter_.answer = true;
    }

    void serialSettingsReopenAndRefuseBadRates() {
        Pty pty;
        QVERIFY(!pty.path().empty());
        qputenv(link::kExtraPortsVariable, QByteArray::fromStdString(pty.path()));
        TSerial s(prompter_);
        QCOMPARE(s.Port(), 1);
        QCOMPARE(s.Baudrate(), 9600);
        QVERIFY(s.DataBits() == gui::eDataBits::d7bit);
        // A pseudo-terminal keeps 8 data bits: the refusal is reported, the port stays open.
        s.SetActive(true);
        QVERIFY(s.Active());
        QCOMPARE(prompter_.messages.size(), size_t{1});
        s.SetActive(false);
        s.setDataBits(gui::eDataBits::d8bit);
        QVERIFY(!s.Active());
        prompter_.messages.clear();
        s.SetActive(true);
        QVERIFY(prompter_.messages.empty());
        QVERIFY2(s.Active(), prompter_.messages.empty() ? "" : prompter_.messages.back().c_str());
        QCOMPARE(s.openCount(), 2);
        s.setBaudrate(19200);
        QVERIFY(s.Active());
        QCOMPARE(s.openCount(), 3);
        QCOMPARE(s.Baudrate(), 19200);
        s.setBaudrate(19200);  // unchanged: no reopen
        s.setDataBits(gui::eDataBits::d8bit);
        QCOMPARE(s.openCount(), 3);
        s.setBaudrate(12345);
        QCOMPARE(s.Baudrate(), 19200);
        QVERIFY(prompter_.asked("Baudrate is not valid"));
        s.setRxQueueSize(1024);  // queue sizes always reopen
        QCOMPARE(s.openCount(), 4);

        // Bytes both ways, DTR on a pty tolerated.
        int rx = 0;
        s.OnRxData = [&](TSerial*) { ++rx; };
        pty.send({1, 2, 3});
        QTRY_VERIFY(rx > 0);
        QCOMPARE(s.RxWaiting(), 3);
        uint8_t b = 0;
        QCOMPARE(s.ReadByte(b), 1);
        QCOMPARE(int(b), 1);
        s.SetLine(1, true);
        s.SetLine(0, false);
        QVERIFY(s.WriteString(std::string("AB\xFF", 3)));
        QVERIFY(s.WriteChar('Z'));
        std::string sent;
        QTRY_COMPARE((sent += pty.received()), std::string("AB\xFFZ", 4));
        s.SetActive(false);
        QCOMPARE(s.RxWaiting(), 0);
        qunsetenv(link::kExtraPortsVariable);
    }

    void serialFramedMessages() {
        Pty pty;
        qputenv(link::kExtraPortsVariable, QByteArray::fromStdString(pty.path()));
        TSerial s(prompter_);
        s.setDataBits(gui::eDataBits::d8bit);
        s.RxEventMode = gui::eOpModes::rxMessage;
        s.MessageAppendCount = 2;
        std::vector<std::string> got;
        s.OnMessage = [&](TSerial*, const std::string& m) { got.push_back(m); };
        s.SetActive(true);
        pty.send({7, 2, 65, 3, 9, 9});
        QTRY_COMPARE(got.size(), size_t{1});
        QCOMPARE(got[0], std::string("\x02" "A\x03\x09\x09"));
        qunsetenv(link::kExtraPortsVariable);
    }

    void serialUnknownPortIsReportedByTheChosenMode() {
        qputenv(link::kExtraPortsVariable, QByteArray());
        const int beyond = static_cast<int>(link::serialPortList().size()) + 1;
        TSerial s(prompter_);
        s.setPort(beyond);
        s.NotifyErrors = gui::eNotifyErr::neEvent;
        int errors = 0;
        s.OnError = [&](TSerial*) { ++errors; };
        s.SetActive(true);
        QVERIFY(!s.Active());
        QCOMPARE(errors, 1);
        QVERIFY(s.ErrorCode() != 0);
        QCOMPARE(s.RxWaiting(), 0);
        QVERIFY(prompter_.messages.empty());
        s.NotifyErrors = gui::eNotifyErr::neDialog;
        s.SetActive(true);
        QCOMPARE(prompter_.messages.size(), size_t{1});
        s.NotifyErrors = gui::eNotifyErr::neNone;
        s.SetActive(true);
        QCOMPARE(prompter_.messages.size(), size_t{1});
        QCOMPARE(errors, 1);
        qunsetenv(link::kExtraPortsVariable);
    }

    void basicSerialPortMirrorsAfterItsDelay() {
        core::VirtualClock clock;
        gui::TserialFM w(clock);
        QCOMPARE(w.size(), QSize(266, 225));
        QCOMPARE(w.serCB->count(), 256);
        QVERIFY(!w.mirDelCB->isEnabled());
        w.show();
        w.mirrorCB->setChecked(true);
        QVERIFY(w.mirDelCB->isEnabled());
        w.mirDelCB->setCurrentIndex(2);  // "2"
        w.SetSerInLabel(65);
        QCOMPARE(w.serinLabel->text(), QStringLiteral("65"));
        QCOMPARE(w.serCB->currentIndex(), 65);
        clock.advance(1500);
        QVERIFY(!w.serRdyCB->isChecked());
        w.SetSerInLabel(66);  // restarts the wait
        clock.advance(1500);
        QVERIFY(!w.serRdyCB->isChecked());
        clock.advance(500);
        QVERIFY(w.serRdyCB->isChecked());
        QCOMPARE(w.GetSERIN(), 66);
        QVERIFY(!w.serRdyCB->isChecked());
        QCOMPARE(w.GetSERIN(), -1);  // read once only
        // Hidden, nothing is offered even when Ready is checked.
        w.serRdyCB->setChecked(true);
        w.hide();
        QCOMPARE(w.GetSERIN(), -1);
        w.SetSerialAccess(true);
        QCOMPARE(w.accessLabel->text(), QStringLiteral("ON"));
        w.move(30, 40);
        QCOMPARE(w.GetScreenData(), std::string("30~40~"));
        w.PutScreenData("5000~7~", 1024, 768);
        QCOMPARE(w.pos(), QPoint(0, 7));
    }

    void basicSerialPortIsTheMachinesAndOpensFromTheMenu() {
        gui::TmiraFM main(&prompter_);
        main.show();
        QVERIFY(main.machine().serialPort == main.serialFM());
        auto* item = main.findChild<QAction*>(QStringLiteral("BasicSerialPort1"));
        QVERIFY(item);
        item->setEnabled(true);
        item->trigger();
        QVERIFY(main.serialFM()->isVisible());
        main.serialFM()->canSB->click();
        QVERIFY(!main.serialFM()->isVisible());
    }

    void windowReadsDirectoryWritesAProgramAndOptions() {
        Boardsim board({});
        QVERIFY(!board.path().empty());
        qputenv(link::kExtraPortsVariable, QByteArray::fromStdString(board.path()));
        gui::TmiraFM main(&prompter_);
        main.show();
        main.mainSettings().serialPort = 1;
        for (int i = 0; i < 8; ++i) main.machine().memory[static_cast<size_t>(i)] = 10 + i;
        {
            TprogFM w(main);
            QCOMPARE(w.size(), QSize(774, 500));
            QCOMPARE(w.windowTitle(), QStringLiteral("MIRA-8 USB Interface"));
            w.show();
            QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(QStringLiteral("MIRA-8 connection query... >OK")), 5000);
            QTRY_VERIFY(w.readButt->isEnabled());
            QVERIFY(!w.rzProgButt->isEnabled());  // Directory: read and erase only
            QVERIFY(w.portLabel->text().contains(QString::fromStdString(board.path())));

            w.readButt->click();
            QVERIFY(!w.readButt->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(
                w.messageLines().contains(QStringLiteral(" 3  No Name                  Empty WIF --- --- AO")), 5000);
            QVERIFY(w.messageLines().contains(QStringLiteral("Reading directory... >OK")));

            w.programNameDialog = [](int n, const std::string&) -> std::optional<std::string> {
                return n == 4 ? std::optional<std::string>("GUI TEST") : std::nullopt;
            };
            w.miraRB->click();
            w.miraCB->setCurrentIndex(3);
            QTRY_VERIFY(w.rzProgButt->isEnabled());
            w.rzProgButt->click();
            QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(QStringLiteral("Writing MIRA program [4]... >OK")), 5000);
            QTRY_VERIFY(w.readButt->isEnabled());
            w.dirRB->click();
            w.readButt->click();
            QTRY_VERIFY_WITH_TIMEOUT(
                w.messageLines().contains(QStringLiteral(" 4  GUI TEST                 Valid MR8 OFF OFF T13")), 5000);

            w.hardwareOptionsDialog = [](int) -> std::optional<int> { return 0x31; };
            QTRY_VERIFY(w.readButt->isEnabled());
            w.optsRB->click();
            w.rzProgButt->click();
            QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(QStringLiteral("Write MIRA-8 hardware options... >OK")),
                                     5000);
            QTRY_VERIFY(w.readButt->isEnabled());
            w.readButt->click();
            QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(QStringLiteral("Slow Speed Cycle Time       = 1 second")),
                                     5000);
            QVERIFY(w.messageLines().contains(QStringLiteral("Page Zero Mode              = ON")));
            QCOMPARE(w.boardLink().hardwareOptions(), 0x31);
            w.close();
        }
        qunsetenv(link::kExtraPortsVariable);
    }

    // Reset reopens the port as a port change does: a board unplugged and plugged in again
    // is found, and while it is away the window says so.
    void resetFindsABoardPluggedInAgain() {
        const std::string device = dir_->filePath(QStringLiteral("board")).toStdString();
        const QStringList args{QStringLiteral("--link"), QString::fromStdString(device)};
        auto board = std::make_unique<Boardsim>(args);
        qputenv(link::kExtraPortsVariable, QByteArray::fromStdString(device));
        gui::TmiraFM main(&prompter_);
        main.show();
        main.mainSettings().serialPort = 1;
        TprogFM w(main);
        w.show();
        const QString ok = QStringLiteral("MIRA-8 connection query... >OK");
        QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(ok), 5000);
        QTRY_VERIFY(w.rzResetButt->isEnabled());
        board.reset();  // unplugged
        w.rzResetButt->click();
        const QString gone = QStringLiteral("the board is not connected on port 1 (%1)").arg(QString::fromStdString(device));
        QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(gone), 3000);
        QVERIFY(!w.messageLines().contains(QStringLiteral("Communications failed")));
        board = std::make_unique<Boardsim>(args);  // plugged in again: a new device, same name
        const auto oks = w.messageLines().count(ok);
        w.rzResetButt->click();
        QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().count(ok) == oks + 1, 5000);
        QTRY_VERIFY(w.readButt->isEnabled());
        if (const QByteArray shots = qgetenv("MIRA8_SHOT_DIR"); !shots.isEmpty()) {
            QTest::qWait(300);
            w.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/link-reset-replugged.png"));
        }
        w.close();
        qunsetenv(link::kExtraPortsVariable);
    }

    void windowSurvivesTheBoardVanishing() {
        auto board = std::make_unique<Boardsim>(QStringList{"--hangup-after", "10"});
        qputenv(link::kExtraPortsVariable, QByteArray::fromStdString(board->path()));
        gui::TmiraFM main(&prompter_);
        main.show();
        main.mainSettings().serialPort = 1;
        TprogFM w(main);
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(QStringLiteral("MIRA-8 connection query... >OK")), 5000);
        QTRY_VERIFY(w.readButt->isEnabled());
        w.readButt->click();
        // Closing the emulator during a transfer asks first; No keeps it open.
        prompter_.answer = false;
        main.close();
        QVERIFY(prompter_.asked(link::kCommsActiveQuestion));
        QVERIFY(main.isVisible());
        prompter_.answer = true;
        // The board hung up: the port is gone, and the window says so.
        QTRY_VERIFY_WITH_TIMEOUT(w.messageLines().contains(QStringLiteral("Reading directory... >FAIL")), 6000);
        QTRY_VERIFY(w.readButt->isEnabled());
        QVERIFY(!w.boardLink().busy());
        board.reset();
        w.close();
        qunsetenv(link::kExtraPortsVariable);
    }
};

}  // namespace

QTEST_MAIN(LinkTest)
#include "link_test.moc"
