// The "Timing Diagram" window TtimingFM: records the machine's signals while it is open
// (the last 100 000 clock states), follows a slow, single-step or animated run live and
// shows the last stretch when a fast run stops. Zoom with the wheel, scroll, a cursor with
// every signal's value, two markers with their distance, VCD export. The signals shown and
// their order are the user's and are kept in the settings.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/prompter.h"
#include "core/signal_changes.h"
#include "core/signal_recorder.h"
#include "views/timing_paint.h"

class QLabel;
class QListWidget;
class QScrollBar;

namespace mira::core {
class Machine;
class RunControl;
}  // namespace mira::core

namespace mira::gui {

class TtimingFM;

// The plot: paints through paintTiming and turns mouse and wheel into cursor, markers,
// zoom and scroll.
class TimingCanvas final : public QWidget {
public:
    explicit TimingCanvas(TtimingFM& owner);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    TtimingFM& owner_;
};

class TtimingFM final : public QWidget {
public:
    static constexpr const char* kCaption = "Timing Diagram";
    static constexpr const char* kExportError = "ERROR: The file could not be written: ";
    // Shown until the user picks: the clock, the registers and how AC and MB shift, the
    // cycle lamps and the device handshakes.
    static constexpr const char* kDefaultSignals =
        "T,cycle,PC,MA,MB,MB_ser,AC,AC_ser,C,RUN,FETCH,DEFER,EXEC,devices,modules";

    TtimingFM(core::Machine& m, core::RunControl& rc, core::Prompter& prompter,
              QWidget* parent = nullptr);
    ~TtimingFM() override;

    // Names of modules for their handshake rows.
    core::ModuleNamer moduleNamer;
    // Clicking a clock state selects the instruction it belongs to in the memory view.
    std::function<void(int address)> selectInstruction;
    // The file "Export VCD…" writes, empty on Cancel; a save dialog unless a test replaces it.
    std::function<QString()> chooseExportFile;

    core::SignalRecorder& recorder() { return recorder_; }
    const core::SignalChanges& changes() const { return changes_; }
    TimingView& view() { return view_; }
    TimingCanvas* canvas() const { return canvas_; }
    // The full names (scope.name) of the signals shown, in order.
    const std::vector<std::string>& shownSignals() const { return shown_; }
    void setShownSignals(std::vector<std::string> names);

    // Takes in what was recorded; the view follows the newest state unless the user
    // scrolled away. Called by the window's timer; tests call it directly.
    void refresh();
    // Clicks in the plot at a clock state.
    void setCursor(int64_t state);
    void setMarker(int which, int64_t state);
    void zoomAt(double x, int steps);
    // Puts `state` at the plot's left edge; the view follows new states again only when the
    // newest is in sight.
    void showFrom(double state);
    // The text under the plot: cursor, markers and their distance.
    QString statusText() const;

    void SignalsClick();
    // False with the message shown when the file could not be written.
    bool ExportVcd(const QString& path);
    void ExportVcdClick();

    std::string GetScreenData() const;
    void PutScreenData(const std::string& state, int screenWidth, int screenHeight);
    // Open at the last save.
    bool savedVisible() const { return savedVisible_; }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    friend class TimingCanvas;
    void syncScrollBar();
    std::vector<core::SignalDef> allSignals() const;
    // The full names of the signals a list picks (see core::pickSignals).
    std::vector<std::string> pickNames(std::string_view list) const;
    // Whether the recorder still holds clock state `state`.
    bool held(int64_t state) const;

    core::Machine& m_;
    core::RunControl& rc_;
    core::Prompter& prompter_;
    core::SignalRecorder recorder_;
    core::SignalChanges changes_;
    std::vector<std::string> shown_;
    TimingView view_;
    bool following_ = true;
    bool savedVisible_ = false;
    bool syncing_ = false;
    QTimer refreshTimer_;
    TimingCanvas* canvas_ = nullptr;
    QScrollBar* scroll_ = nullptr;
    QLabel* status_ = nullptr;
};

// "Signals": every signal on the left, those shown on the right in their order.
class TimingSignalsDialog final : public QDialog {
public:
    TimingSignalsDialog(const std::vector<core::SignalDef>& all,
                        const std::vector<std::string>& shown, QWidget* parent = nullptr);
    std::vector<std::string> shown() const;

    QListWidget* available = nullptr;
    QListWidget* chosen = nullptr;
};

}  // namespace mira::gui
