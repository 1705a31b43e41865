// What the window tests share: a prompter that records every text and answers as scripted,
// a sound player that records, and a way to act on the next modal dialog.
#pragma once

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/panel.h"
#include "core/prompter.h"
#include "core/sound.h"
#include "modules/funcselect.h"

namespace mira::gui_test {

class ScriptedPrompter : public core::Prompter {
public:
    void info(const std::string& text) override { messages.push_back(text); }
    void error(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string& text) override {
        messages.push_back(text);
        return answer;
    }
    // Queued answers first; then `threeWay` when set, else Yes/No as `answer` says.
    core::Answer askYesNoCancel(const std::string& text) override {
        messages.push_back(text);
        if (!answers.empty()) {
            const core::Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        if (threeWay) return *threeWay;
        return answer ? core::Answer::Yes : core::Answer::No;
    }
    bool asked(const std::string& text) const {
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }

    std::vector<std::string> messages;
    bool answer = true;
    std::optional<core::Answer> threeWay;
    std::deque<core::Answer> answers;
};

class RecordingPlayer : public core::SoundPlayer {
public:
    void play(core::SoundId id) override { played.push_back(id); }
    std::vector<core::SoundId> played;
};

// A fresh data directory for one test: settings and data files never pass between tests.
// Empty when no directory could be made.
inline std::unique_ptr<QTemporaryDir> freshDataDir() {
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid()) return nullptr;
    qputenv("MIRA8_DATA_DIR", dir->path().toLocal8Bit());
    return dir;
}

#ifdef MIRA8_SOURCE_DIR
// The lines of a program in examples/; empty when it cannot be read.
inline std::vector<std::string> exampleLines(const char* name) {
    QFile f(QStringLiteral(MIRA8_SOURCE_DIR "/examples/") + QLatin1String(name));
    std::vector<std::string> lines;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return lines;
    for (const QByteArray& l : f.readAll().split('\n')) lines.push_back(l.toStdString());
    return lines;
}
#endif

// The short program the memory and step-back tests run: 0: TAD 10, 1: DCA 11, 2: HLT,
// with 77 in word 10.
inline void putTadDcaHlt(core::Machine& m) {
    m.memory[0] = 0x2A;
    m.memory[1] = 0x6B;
    m.memory[2] = 0xF1;
    m.memory[10] = 77;
}

// Where a click reaches a switch's paddle on the panel: its column's centre, in the upper
// or the lower band.
inline constexpr int kUpper = 197;
inline constexpr int kLower = 212;
inline int centreX(int i) { return core::kSwitchX0[i] + core::kSwitchWidth / 2; }

// The colour a widget shows at a point of its own, read from its picture at whatever device
// pixel ratio the screen has (the middle of that point's device pixels).
inline QRgb pixelAt(QWidget* widget, QPoint p) {
    const QImage img = widget->grab().toImage();
    const qreal dpr = img.devicePixelRatio();
    return img.pixel(int((p.x() + 0.5) * dpr), int((p.y() + 0.5) * dpr));
}

// A top-level window made, shown and exposed (a test fails at once when it is not).
template <class Window, class... Args>
std::unique_ptr<Window> openShown(Args&&... args) {
    auto w = std::make_unique<Window>(std::forward<Args>(args)...);
    w->show();
    [&] { QVERIFY(QTest::qWaitForWindowExposed(w.get())); }();
    return w;
}

// Runs `act` on the next modal dialog once it is up (a modal exec() blocks the test).
inline void whenModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) return;
        poll->stop();
        poll->deleteLater();
        act(w);
    });
    poll->start();
}

// Picks entry `n` of the next module selection dialog (the first offered slot by default)
// and confirms it.
inline void chooseSlot(int n = 0) {
    whenModal([n](QWidget* w) {
        auto* dlg = dynamic_cast<gui::TFuncSelFM*>(w);
        QVERIFY(dlg);
        dlg->choice(n)->click();
        dlg->findChild<QPushButton*>(QStringLiteral("okSB"))->click();
    });
}

}  // namespace mira::gui_test
