#include "views/timing.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <fstream>

#include "core/field_list.h"
#include "core/machine.h"
#include "core/run_control.h"
#include "core/vcd_writer.h"

namespace mira::gui {

namespace {
constexpr int kDefaultWidth = 980;
constexpr int kDefaultHeight = 600;
constexpr int kRefreshMs = 40;
// One wheel notch zooms by this factor around the mouse.
constexpr double kZoomStep = 1.25;

std::string joinNames(const std::vector<std::string>& names) {
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : ",") + n;
    return s;
}
}  // namespace

// --- canvas ---

TimingCanvas::TimingCanvas(TtimingFM& owner) : QWidget(&owner), owner_(owner) {
    setObjectName(QStringLiteral("timingCanvas"));
    setMinimumSize(400, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TimingCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintTiming(p, size(), owner_.changes_, owner_.view_);
}

void TimingCanvas::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || e->position().x() < kTimingNameWidth) return;
    const auto state = static_cast<int64_t>(std::floor(owner_.view_.stateAt(e->position().x())));
    if (e->modifiers() & Qt::ShiftModifier)
        owner_.setMarker(1, state);
    else if (e->modifiers() & Qt::ControlModifier)
        owner_.setMarker(2, state);
    else
        owner_.setCursor(state);
}

void TimingCanvas::wheelEvent(QWheelEvent* e) {
    const QPoint d = e->angleDelta();
    if ((e->modifiers() & Qt::ShiftModifier) || d.x() != 0) {
        const int delta = d.x() != 0 ? d.x() : d.y();
        QScrollBar* sb = owner_.scroll_;
        sb->setValue(sb->value() - delta * std::max(1, sb->pageStep() / 10) / 120);
    } else {
        owner_.zoomAt(e->position().x(), d.y() / 120);
    }
    e->accept();
}

void TimingCanvas::contextMenuEvent(QContextMenuEvent* e) {
    const auto state = static_cast<int64_t>(std::floor(owner_.view_.stateAt(e->pos().x())));
    QMenu menu(this);
    menu.addAction(QStringLiteral("Set Marker 1"), this, [this, state] { owner_.setMarker(1, state); });
    menu.addAction(QStringLiteral("Set Marker 2"), this, [this, state] { owner_.setMarker(2, state); });
    menu.addAction(QStringLiteral("Clear Markers"), this, [this] {
        owner_.setMarker(1, -1);
        owner_.setMarker(2, -1);
    });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Signals…"), this, [this] { owner_.SignalsClick(); });
    menu.addAction(QStringLiteral("Export VCD…"), this, [this] { owner_.ExportVcdClick(); });
    menu.exec(e->globalPos());
}

// --- window ---

TtimingFM::TtimingFM(core::Machine& m, core::RunControl& rc, core::Prompter& prompter,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_(m), rc_(rc), prompter_(prompter) {
    setObjectName(QStringLiteral("timingFM"));
    setWindowTitle(QString::fromLatin1(kCaption));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->setSpacing(2);
    auto* buttons = new QHBoxLayout;
    auto* signalsButton = new QPushButton(QStringLiteral("Signals…"), this);
    signalsButton->setObjectName(QStringLiteral("SignalsButton"));
    auto* exportButton = new QPushButton(QStringLiteral("Export VCD…"), this);
    exportButton->setObjectName(QStringLiteral("ExportButton"));
    auto* clearButton = new QPushButton(QStringLiteral("Clear"), this);
    clearButton->setObjectName(QStringLiteral("ClearButton"));
    connect(signalsButton, &QPushButton::clicked, this, [this] { SignalsClick(); });
    connect(exportButton, &QPushButton::clicked, this, [this] { ExportVcdClick(); });
    connect(clearButton, &QPushButton::clicked, this, [this] {
        recorder_.reset();
        view_.cursor = view_.marker1 = view_.marker2 = -1;
        following_ = true;
        refresh();
    });
    for (QPushButton* b : {signalsButton, exportButton, clearButton}) buttons->addWidget(b);
    buttons->addSpacing(12);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("timingStatus"));
    buttons->addWidget(status_, 1);
    column->addLayout(buttons);
    canvas_ = new TimingCanvas(*this);
    column->addWidget(canvas_, 1);
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setObjectName(QStringLiteral("timingSB"));
    column->addWidget(scroll_);
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (syncing_) return;
        view_.firstState = static_cast<double>(changes_.begin()) + v;
        following_ = v >= scroll_->maximum();
        canvas_->update();
    });
    resize(kDefaultWidth, kDefaultHeight);
    setShownSignals({});
    refreshTimer_.setInterval(kRefreshMs);
    // A fast run is not followed: its last stretch shows when it stops.
    connect(&refreshTimer_, &QTimer::timeout, this, [this] {
        if (!rc_.inFastLoop()) refresh();
    });
    chooseExportFile = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Export VCD"), QString(),
                                            QStringLiteral("Value Change Dump (*.vcd)"));
    };
}

TtimingFM::~TtimingFM() {
    if (rc_.recorder() == &recorder_) rc_.setRecorder(nullptr);
}

std::vector<core::SignalDef> TtimingFM::allSignals() const {
    return core::machineSignals(m_, moduleNamer);
}

std::vector<std::string> TtimingFM::pickNames(std::string_view list) const {
    std::vector<std::string> names;
    for (const core::SignalDef& d : core::pickSignals(allSignals(), list)) names.push_back(d.fullName());
    return names;
}

void TtimingFM::setShownSignals(std::vector<std::string> names) {
    if (names.empty()) names = pickNames(kDefaultSignals);
    shown_ = std::move(names);
    refresh();
}

void TtimingFM::refresh() {
    // A mode change or a module opened or closed changes which signals exist.
    std::vector<core::SignalDef> now = core::pickSignals(allSignals(), joinNames(shown_));
    const bool same = now == changes_.signals();
    if (!same) changes_.setSignals(std::move(now));
    const uint64_t before = changes_.end();
    changes_.update(recorder_);
    view_.radix = m_.options.radix[m_.isWif() ? 1 : 0];
    if (following_) {
        const double visible = view_.statesAcross(canvas_->width());
        view_.firstState = std::max(static_cast<double>(changes_.begin()),
                                    static_cast<double>(changes_.end()) - visible);
    }
    syncScrollBar();
    if (before != changes_.end() || !same) canvas_->update();
    status_->setText(statusText());
}

void TtimingFM::syncScrollBar() {
    const double visible = view_.statesAcross(canvas_->width());
    const auto span = static_cast<int>(changes_.end() - changes_.begin());
    syncing_ = true;
    scroll_->setRange(0, std::max(0, span - static_cast<int>(visible)));
    scroll_->setPageStep(std::max(1, static_cast<int>(visible)));
    scroll_->setValue(static_cast<int>(view_.firstState - static_cast<double>(changes_.begin())));
    syncing_ = false;
}

bool TtimingFM::held(int64_t state) const {
    return state >= static_cast<int64_t>(recorder_.begin()) &&
           state < static_cast<int64_t>(recorder_.end());
}

void TtimingFM::setCursor(int64_t state) {
    if (!held(state)) return;
    view_.cursor = state;
    const core::SignalSample& s = recorder_.at(static_cast<uint64_t>(state));
    // A fetch's T0 already belongs to the instruction it fetches, at PC.
    const int address = s.cycle == core::kCycleFetch && s.t == 0 ? s.pc : s.instructionAddress;
    if (selectInstruction) selectInstruction(address);
    status_->setText(statusText());
    canvas_->update();
}

void TtimingFM::setMarker(int which, int64_t state) {
    (which == 1 ? view_.marker1 : view_.marker2) = held(state) ? state : -1;
    status_->setText(statusText());
    canvas_->update();
}

void TtimingFM::zoomAt(double x, int steps) {
    if (steps == 0) return;
    x = std::max<double>(x, kTimingNameWidth);
    const double anchor = view_.stateAt(x);
    view_.pixelsPerState = std::clamp(view_.pixelsPerState * std::pow(kZoomStep, steps),
                                      kTimingMinPixelsPerState, kTimingMaxPixelsPerState);
    showFrom(anchor - (x - kTimingNameWidth) / view_.pixelsPerState);
}

void TtimingFM::showFrom(double state) {
    view_.firstState = std::max(static_cast<double>(changes_.begin()), state);
    const double visible = view_.statesAcross(canvas_->width());
    following_ = view_.firstState + visible >= static_cast<double>(changes_.end());
    syncScrollBar();
    canvas_->update();
}

QString TtimingFM::statusText() const {
    QString text = QStringLiteral("%1 clock states recorded").arg(recorder_.size());
    if (held(view_.cursor)) {
        const core::SignalSample& s = recorder_.at(static_cast<uint64_t>(view_.cursor));
        text = QStringLiteral("Cursor %1: %2 T%3").arg(view_.cursor).arg(QString::fromLatin1(core::cycleName(s.cycle))).arg(s.t);
    }
    if (held(view_.marker1) && held(view_.marker2)) {
        const auto a = static_cast<uint64_t>(std::min(view_.marker1, view_.marker2));
        const auto b = static_cast<uint64_t>(std::max(view_.marker1, view_.marker2));
        const uint32_t instructions =
            (recorder_.at(b).instruction - recorder_.at(a).instruction) & core::kInstructionCountMask;
        text += QStringLiteral("    M1 %1  M2 %2:  %3 clock states, %4 instructions")
                    .arg(view_.marker1).arg(view_.marker2).arg(b - a).arg(instructions);
    } else if (held(view_.marker1) || held(view_.marker2)) {
        text += QStringLiteral("    M%1 %2").arg(held(view_.marker1) ? 1 : 2)
                    .arg(held(view_.marker1) ? view_.marker1 : view_.marker2);
    }
    return text;
}

void TtimingFM::SignalsClick() {
    TimingSignalsDialog dialog(allSignals(), shown_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    setShownSignals(dialog.shown());
}

bool TtimingFM::ExportVcd(const QString& path) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    if (out) {
        core::VcdWriter w(out, changes_.signals(), "mira8 timing diagram");
        w.write(recorder_);
        w.finish();
    }
    if (!out) {
        prompter_.error(std::string(kExportError) + path.toStdString());
        return false;
    }
    return true;
}

void TtimingFM::ExportVcdClick() {
    const QString path = chooseExportFile ? chooseExportFile() : QString();
    if (!path.isEmpty()) ExportVcd(path);
}

std::string TtimingFM::GetScreenData() const {
    return core::FieldListBuilder()
        .add(x()).add(y()).add(width()).add(height())
        .addBool(isVisible())
        .add(joinNames(shown_))
        .str();
}

void TtimingFM::PutScreenData(const std::string& state, int screenWidth, int screenHeight) {
    if (state.empty()) return;
    const core::WindowPosition p = core::windowPositionFromState(state, screenWidth, screenHeight);
    move(p.left, p.top);
    resize(core::parseIntInRange(core::fieldAt(state, 2), 400, 8000, kDefaultWidth),
           core::parseIntInRange(core::fieldAt(state, 3), 200, 8000, kDefaultHeight));
    savedVisible_ = core::parseBool(core::fieldAt(state, 4), false);
    // Names of signals this build does not have are dropped when the list is read.
    setShownSignals(pickNames(core::fieldAt(state, 5)));
}

void TtimingFM::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    recorder_.reset();
    rc_.setRecorder(&recorder_);
    following_ = true;
    refresh();
    refreshTimer_.start();
}

void TtimingFM::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (rc_.recorder() == &recorder_) rc_.setRecorder(nullptr);
    refreshTimer_.stop();
    refresh();
}

// --- signals dialog ---

TimingSignalsDialog::TimingSignalsDialog(const std::vector<core::SignalDef>& all,
                                         const std::vector<std::string>& shown, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("timingSignalsDialog"));
    setWindowTitle(QStringLiteral("Signals"));
    auto* grid = new QHBoxLayout;
    available = new QListWidget(this);
    chosen = new QListWidget(this);
    available->setObjectName(QStringLiteral("availableList"));
    chosen->setObjectName(QStringLiteral("chosenList"));
    for (const core::SignalDef& d : all)
        if (std::find(shown.begin(), shown.end(), d.fullName()) == shown.end())
            available->addItem(QString::fromStdString(d.fullName()));
    for (const std::string& n : shown) chosen->addItem(QString::fromStdString(n));
    auto* middle = new QVBoxLayout;
    auto button = [&](const char* name, const QString& caption, auto fn) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, fn);
        middle->addWidget(b);
    };
    auto move = [](QListWidget* from, QListWidget* to) {
        const int row = from->currentRow();
        if (row < 0) return;
        to->addItem(from->takeItem(row));
        to->setCurrentRow(to->count() - 1);
    };
    auto shift = [this](int by) {
        const int row = chosen->currentRow();
        if (row < 0 || row + by < 0 || row + by >= chosen->count()) return;
        chosen->insertItem(row + by, chosen->takeItem(row));
        chosen->setCurrentRow(row + by);
    };
    button("AddButton", QStringLiteral("Add >"), [this, move] { move(available, chosen); });
    button("RemoveButton", QStringLiteral("< Remove"), [this, move] { move(chosen, available); });
    button("UpButton", QStringLiteral("Up"), [shift] { shift(-1); });
    button("DownButton", QStringLiteral("Down"), [shift] { shift(1); });
    middle->addStretch(1);
    grid->addWidget(available);
    grid->addLayout(middle);
    grid->addWidget(chosen);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(box);
}

std::vector<std::string> TimingSignalsDialog::shown() const {
    std::vector<std::string> names;
    for (int i = 0; i < chosen->count(); ++i) names.push_back(chosen->item(i)->text().toStdString());
    return names;
}

}  // namespace mira::gui
