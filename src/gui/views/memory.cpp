#include "views/memory.h"

#include <QAction>
#include <QColor>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "assembler/assembler.h"
#include "assembler/disassembler.h"
#include "assembler/formatters.h"
#include "assembler/view_text.h"
#include "core/field_list.h"
#include "core/run_control.h"
#include "views/grid_style.h"
#include "views/tape_save.h"

namespace mira::gui {

namespace {

constexpr int kClientWidth = 720;
constexpr int kClientHeight = 574;
constexpr int kDataWidths[DataModel::kColumns] = {127, 57, 54, 53, 53, 93, 272};
constexpr int kAddressWidth = 127;
constexpr int kMemWidths[6] = {55, 55, 53, 52, 94, 252};
constexpr int kStatusWidths[10] = {22, 22, 30, 22, 40, 60, 85, 100, 95, 55};
constexpr const char* kStatusInitial[10] = {"c",      "z",      "dc",     "0",      "s",
                                            "$000",   "Cycle:", "Reset:", "Trace:", "Count:"};
constexpr int kCentredPanels = 6;
// Paging a scroll bar moves one 16-word page.
constexpr int kPageStep = 16;
// Breakpoint marks: red while honoured, green while ignored.
const QColor kBreakOn(255, 0, 0);
const QColor kBreakIgnored(0, 128, 0);
// The address column's text starts this far in from the cell's corner.
constexpr int kTextInset = 2;
// The tape dialog offers addresses 0..255 whatever the memory size.
constexpr int kTapeLimit = 255;
// Dev0 Par Port row and the first I/O row of the register grid.
constexpr int kParPortRow = 5;
constexpr int kFirstIoRow = 6;

const char* const kDataTitles[DataModel::kColumns] = {"Addr", "737", "377", "DEC",
                                                      "HEX",  "BIN", "[IO] [Code]"};
const char* const kRowTitles[DataModel::kRows] = {"PC",   "MA",   "MB",    "AC",   "Dev0 Par Port",
                                                  "IN 0", "IN 1", "OUT 0", "OUT 1"};

// Draws the address column: bold bands on every second page and the breakpoint mark.
class AddressDelegate final : public QStyledItemDelegate {
public:
    AddressDelegate(core::Machine& m, QObject* parent) : QStyledItemDelegate(parent), m_(m) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int row = index.row();
        p->save();
        p->fillRect(option.rect, option.palette.base());
        QFont f = option.font;
        f.setBold(assembler::AddressRowBold(row));
        p->setFont(f);
        const QFontMetrics fm(f);
        const QString text = index.data(Qt::DisplayRole).toString();
        const QPoint at = option.rect.topLeft() + QPoint(kTextInset, kTextInset + fm.ascent());
        p->setPen(Qt::black);
        p->drawText(at, text);
        if (row >= 0 && row < core::kMaxMemory && m_.breakpoints[static_cast<size_t>(row)]) {
            p->setPen(m_.options.ignoreBreakpoints ? kBreakIgnored : kBreakOn);
            const QString padded = text.leftJustified(assembler::kBreakMarkColumn, QLatin1Char(' '));
            p->drawText(at + QPoint(fm.horizontalAdvance(padded), 0), QStringLiteral("B"));
        }
        p->restore();
    }

private:
    core::Machine& m_;
};

int radixOf(const core::Machine& m) { return m.options.radix[m.isWif() ? 1 : 0]; }

}  // namespace

// --- MemoryModel ---

MemoryModel::MemoryModel(core::Machine& m, ViewSources sources, QObject* parent)
    : QAbstractTableModel(parent), m_(m), sources_(std::move(sources)) {
    blank_.set();
}

int MemoryModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }
int MemoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

void MemoryModel::setRows(int rows) {
    rows = std::clamp(rows, 0, core::kMaxMemory + 1);
    if (rows == rows_) return;
    beginResetModel();
    rows_ = rows;
    endResetModel();
}

QString MemoryModel::text(int address, int column) const {
    // The grid's last row stays blank: it lets the last address scroll up fully into view.
    if (address < 0 || address >= rows_ - 1 || address > m_.addressMask) return {};
    const bool normal = !m_.isWif();
    const int radix = radixOf(m_);
    if (column == kAddress) return QString::fromStdString(assembler::AddressText(address, radix, normal));
    if (blank_[static_cast<size_t>(address)]) return {};
    const int32_t value = shown_[static_cast<size_t>(address)];
    if (column == kText) {
        const assembler::Assembler* a = sources_.assembler ? sources_.assembler() : nullptr;
        if (a && a->animate() && address < static_cast<int>(a->codeList().size()))
            return QString::fromStdString(assembler::ListingText(a->sourceListText(address)));
        const assembler::InstructionTable* t = sources_.table ? sources_.table() : nullptr;
        if (!t) return QString::fromLatin1(assembler::kUnknownWord);
        return QString::fromStdString(
            assembler::DisassembleWord(value, normal, *t, radix, m_.addressMask));
    }
    const assembler::NumberForms f = assembler::MemoryNumberForms(value, normal);
    switch (column) {
        case k737: return QString::fromStdString(f.splitOctal);
        case k377: return QString::fromStdString(f.octal);
        case kDec: return QString::fromStdString(f.dec);
        case kHex: return QString::fromStdString(f.hex);
        case kBin: return QString::fromStdString(f.bin);
        default: return {};
    }
}

QVariant MemoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    if (role == Qt::BackgroundRole && index.row() == marked_) return QColor(255, 236, 160);
    return {};
}

void MemoryModel::setMarkedAddress(int address) {
    const int old = marked_;
    marked_ = address >= 0 && address < rows_ ? address : -1;
    for (int row : {old, marked_})
        if (row >= 0) Q_EMIT dataChanged(index(row, 0), index(row, kText), {Qt::BackgroundRole});
}

void MemoryModel::takeWord(int address) {
    if (address < 0 || address >= core::kMaxMemory) return;
    shown_[static_cast<size_t>(address)] = m_.memory[static_cast<size_t>(address)];
    blank_[static_cast<size_t>(address)] = false;
    dirtyLow_ = std::min(dirtyLow_, address);
    dirtyHigh_ = std::max(dirtyHigh_, address);
}

void MemoryModel::flushRepaint() {
    if (dirtyHigh_ < 0) return;
    const int low = dirtyLow_;
    const int high = std::min(dirtyHigh_, rows_ - 1);
    dirtyLow_ = core::kMaxMemory;
    dirtyHigh_ = -1;
    if (low > high) return;
    Q_EMIT dataChanged(index(low, k737), index(high, kText), {Qt::DisplayRole});
}

void MemoryModel::showWord(int address) {
    if (address == -1) {
        for (int a = 0; a <= std::min(m_.addressMask, core::kMaxMemory - 1); ++a) takeWord(a);
    } else {
        if (address < 0 || address > m_.addressMask) return;
        takeWord(address);
    }
    flushRepaint();
}

void MemoryModel::blankAll() {
    blank_.set();
    if (rows_ > 0) Q_EMIT dataChanged(index(0, k737), index(rows_ - 1, kText), {Qt::DisplayRole});
}

void MemoryModel::repaintColumn(int column) {
    if (rows_ > 0) Q_EMIT dataChanged(index(0, column), index(rows_ - 1, column), {Qt::DisplayRole});
}

// --- DataModel ---

DataModel::DataModel(core::Machine& m, QObject* parent) : QAbstractTableModel(parent), m_(m) {
    for (int r = 0; r < kRows; ++r) cells_[static_cast<size_t>(r)][0] = QString::fromLatin1(kRowTitles[r]);
}

QVariant DataModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return cells_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
    return {};
}

QVariant DataModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= kColumns) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kDataTitles[section]);
    if (role == Qt::ForegroundRole) {
        // The column of the display radix is picked out in red.
        static constexpr int kColumnOfRadix[4] = {3, 4, 1, 2};
        const int radix = radixOf(m_);
        if (section >= 1 && section <= 4)
            return QBrush((radix >= 0 && radix < 4 && kColumnOfRadix[radix] == section) ? Qt::red
                                                                                         : Qt::black);
    }
    return {};
}

void DataModel::setCell(int row, int column, const QString& text) {
    if (row < 1 || row > kRows || column < 0 || column >= kColumns) return;
    QString& c = cells_[static_cast<size_t>(row - 1)][static_cast<size_t>(column)];
    if (c == text) return;
    c = text;
    const QModelIndex i = index(row - 1, column);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
}

QString DataModel::cell(int row, int column) const {
    if (row < 1 || row > kRows || column < 0 || column >= kColumns) return {};
    return cells_[static_cast<size_t>(row - 1)][static_cast<size_t>(column)];
}

// --- TmemFM ---

TmemFM::TmemFM(core::Machine& m, core::RunControl& rc, core::Prompter& prompter,
               ViewSources sources, QWidget* parent)
    : QMainWindow(parent, Qt::Window), m_(m), rc_(rc), prompter_(prompter), sources_(sources) {
    setObjectName(QStringLiteral("memFM"));
    memory_ = new MemoryModel(m_, sources, this);
    data_ = new DataModel(m_, this);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);

    dataGrid = new QTableView(central);
    dataGrid->setObjectName(QStringLiteral("dataGrid"));
    dataGrid->setModel(data_);
    styleGrid(dataGrid);
    dataGrid->horizontalHeader()->setVisible(true);
    dataGrid->setSelectionMode(QAbstractItemView::NoSelection);
    for (int c = 0; c < DataModel::kColumns; ++c) dataGrid->setColumnWidth(c, kDataWidths[c]);
    fitDataGrid();
    column->addWidget(dataGrid);

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    addGrid = new QTableView(central);
    addGrid->setObjectName(QStringLiteral("addGrid"));
    addGrid->setModel(memory_);
    styleGrid(addGrid);
    addGrid->setItemDelegateForColumn(MemoryModel::kAddress, new AddressDelegate(m_, addGrid));
    for (int c = 1; c < MemoryModel::kColumnCount; ++c) addGrid->setColumnHidden(c, true);
    addGrid->setColumnWidth(0, kAddressWidth);
    addGrid->setFixedWidth(kAddressWidth + 2);
    addGrid->setSelectionMode(QAbstractItemView::NoSelection);
    addGrid->viewport()->installEventFilter(this);
    addGrid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    memGrid = new QTableView(central);
    memGrid->setObjectName(QStringLiteral("memGrid"));
    memGrid->setModel(memory_);
    styleGrid(memGrid);
    memGrid->setColumnHidden(MemoryModel::kAddress, true);
    int memWidth = 0;
    for (int c = 0; c < 6; ++c) {
        memGrid->setColumnWidth(c + 1, kMemWidths[c]);
        memWidth += kMemWidths[c];
    }
    memGrid->setFixedWidth(memWidth + 2);
    memGrid->setSelectionMode(QAbstractItemView::NoSelection);
    // The rows that fit change with the window's menu and status bar heights, which the
    // desktop's fonts decide: the scroll range follows the grid's real height.
    memGrid->viewport()->installEventFilter(this);

    memSB = new QScrollBar(Qt::Vertical, central);
    memSB->setObjectName(QStringLiteral("memSB"));
    memSB->setPageStep(kPageStep);
    row->addWidget(addGrid);
    row->addWidget(memGrid);
    row->addWidget(memSB);
    row->addStretch(1);
    column->addLayout(row, 1);
    setCentralWidget(central);

    connect(memSB, &QScrollBar::valueChanged, this, [this](int v) { doSetTopRow(v); });
    // A wheel over either grid moves both and the shared bar. A grid's own range reaches one
    // row further (its blank last row); the top row is clamped back at once, so that the two
    // grids never part at the end.
    for (QTableView* g : {addGrid, memGrid})
        connect(g->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
            if (!syncing_) doSetTopRow(v);
        });

    buildMenu();
    buildStatusBar();
    setFixedSize(kClientWidth, kClientHeight);
    UpdateCaption();
}

int TmemFM::radix() const { return radixOf(m_); }

void TmemFM::buildMenu() {
    QMenuBar* bar = menuBar();
    QMenu* count = bar->addMenu(QStringLiteral("Count"));
    QAction* clear = count->addAction(QStringLiteral("Clear"));
    clear->setObjectName(QStringLiteral("Clear1"));
    connect(clear, &QAction::triggered, this, &TmemFM::Clear1Click);
    QMenu* tape = bar->addMenu(QStringLiteral("Paper Tape"));
    SaveTape1 = tape->addAction(QStringLiteral("Save File"));
    SaveTape1->setObjectName(QStringLiteral("SaveTape1"));
    connect(SaveTape1, &QAction::triggered, this, &TmemFM::SaveTape1Click);
    QMenu* breaks = bar->addMenu(QStringLiteral("Breaks"));
    Ignore1 = breaks->addAction(QStringLiteral("Ignore"));
    Ignore1->setObjectName(QStringLiteral("Ignore1"));
    Ignore1->setCheckable(true);
    connect(Ignore1, &QAction::triggered, this, &TmemFM::Ignore1Click);
    QAction* all = breaks->addAction(QStringLiteral("Clear All"));
    all->setObjectName(QStringLiteral("ClearAll1"));
    connect(all, &QAction::triggered, this, &TmemFM::ClearAll1Click);
}

void TmemFM::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    for (int i = 0; i < 10; ++i) {
        auto* l = new QLabel(QString::fromLatin1(kStatusInitial[i]), bar);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFixedWidth(kStatusWidths[i]);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < kCentredPanels) l->setAlignment(Qt::AlignCenter);
        bar->addWidget(l);
        panels_[static_cast<size_t>(i)] = l;
    }
}

void TmemFM::setPanel(int panel, const std::string& text) {
    QLabel* l = panels_[static_cast<size_t>(panel)];
    const QString t = QString::fromStdString(text);
    if (l->text() != t) l->setText(t);
}

QString TmemFM::statusText(int panel) const {
    if (panel < 0 || panel >= 10) return {};
    return panels_[static_cast<size_t>(panel)]->text();
}

// --- register and I/O rows ---

void TmemFM::UpdateData(int which) {
    // Outside live display the registers may be half way through a serial shift; the rows
    // then show what the lamps show, latched at whole-value clock states.
    const bool live = m_.liveDisplay;
    const int32_t pc = live ? m_.pc : m_.lamps.pc;
    const int32_t ma = live ? m_.ma : m_.lamps.ma;
    const int32_t mb = live ? m_.mb : m_.lamps.mb;
    const int32_t ac = live ? m_.ac : m_.lamps.ac;
    if (which == -1 || which == 0) ShowDataRow(pc, 1, normal());
    if (which == -1 || which == 1) ShowDataRow(ma, 2, true);
    if (which == -1 || which == 2) ShowDataRow(mb, 3, true);
    if (which == -1 || which == 3) ShowDataRow(ac, 4, true);
    // Device 0's parallel port reads the switch register: the panel's SR switches ANDed
    // with the external switches and the tape reader, so every switch change shows here.
    if (which == -1 || which == 5) ShowDataRow(m_.sr, kParPortRow, true);
}

void TmemFM::ShowDataRow(int value, int row, bool full) {
    const assembler::NumberForms f = assembler::RegisterNumberForms(value, full);
    data_->setCell(row, 1, QString::fromStdString(f.splitOctal));
    data_->setCell(row, 2, QString::fromStdString(f.octal));
    data_->setCell(row, 3, QString::fromStdString(f.dec));
    data_->setCell(row, 4, QString::fromStdString(f.hex));
    data_->setCell(row, 5, QString::fromStdString(f.bin));
    SetExtCtrl(row);
}

void TmemFM::SetExtCtrl(int row) {
    if (row != kParPortRow) return;
    data_->setCell(row, 6,
                   QString::fromStdString(assembler::ExtControlText(
                       m_.externalControl, m_.switches[core::kSwitchLoadAddress] != 0,
                       m_.switches[core::kSwitchDeposit] != 0, normal())));
}

void TmemFM::UpdateIO(int k) {
    for (int i = 0; i < core::kSlotCount; ++i) {
        if (k != -1 && k != i) continue;
        const core::DeviceSlot& s = m_.bus.slots[static_cast<size_t>(i)];
        ShowDataRow(i < core::kFirstOutputSlot ? s.input : s.output, kFirstIoRow + i, true);
    }
}

void TmemFM::UpdateIOflag(int k) {
    for (int i = 0; i < core::kSlotCount; ++i) {
        if (k != -1 && k != i) continue;
        const core::DeviceSlot& s = m_.bus.slots[static_cast<size_t>(i)];
        // A slot keeps two lines: the device flag the program tests, and the pulse line
        // (ready line of an input, reset line of an output).
        data_->setCell(kFirstIoRow + i, 6,
                       QString::fromStdString(assembler::IOFlagText(s.flag, s.pulse)));
    }
}

// --- memory rows ---

void TmemFM::UpdateMemory(int addr) { memory_->showWord(addr); }

void TmemFM::DisassembleCodes(int addr) {
    if (addr == -1) {
        memory_->repaintColumn(MemoryModel::kText);
        return;
    }
    const QModelIndex i = memory_->index(addr, MemoryModel::kText);
    if (i.isValid()) Q_EMIT memory_->dataChanged(i, i, {Qt::DisplayRole});
}

void TmemFM::ClearMemGrid() { memory_->blankAll(); }

// --- status bar ---

void TmemFM::UpdateStatus() {
    setPanel(0, assembler::CarryText(m_.c != 0));
    setPanel(1, assembler::ZeroText(m_.z != 0, normal()));
    setPanel(2, assembler::DecimalCarryText(m_.dc != 0, normal()));
    setPanel(3, assembler::BankText(m_.bankFlag, normal()));
}

void TmemFM::UpdateSerial() { setPanel(4, assembler::SerialText(m_.serialAccess, normal())); }

void TmemFM::UpdateROMaddr() {
    setPanel(5, assembler::RomAddressText(m_.romPointer, radix(), normal()));
}

void TmemFM::UpdateCycle() { setPanel(6, assembler::CycleText(m_.t)); }
void TmemFM::BlankCycle() { setPanel(6, assembler::kBlankCycleText); }

void TmemFM::UpdateT1T13() {
    setPanel(7, assembler::ResetText(m_.options.outputResetMode != 0, normal()));
}

void TmemFM::SetTracelabel() { setPanel(8, assembler::TraceText(rc_.traceOn)); }

void TmemFM::UpdateInsCount() { setPanel(9, std::to_string(m_.instructionCount)); }

// --- options, size, captions ---

void TmemFM::UpdateRadix() {
    UpdateT1T13();
    UpdateAddresses();
    SetColumnTitles();
    DisassembleCodes(-1);
}

void TmemFM::SetROMsize() {
    memory_->setRows(m_.memorySize + 1);
    updateScrollRange();
}

void TmemFM::setGridFont(const QFont& font) {
    for (QTableView* g : {dataGrid, addGrid, memGrid}) {
        g->setFont(font);
        g->verticalHeader()->setDefaultSectionSize(rowHeightFor(font));
    }
    fitDataGrid();
    SetROMsize();
}

void TmemFM::updateScrollRange() {
    // Row counts and heights reach the grids' own scroll ranges only at their next layout.
    addGrid->doItemsLayout();
    memGrid->doItemsLayout();
    memSB->setMaximum(std::max(0, memory_->rowCount() - visibleRows() - 1));
    if (topRow() > memSB->maximum()) doSetTopRow(memSB->maximum());
}

int TmemFM::visibleRows() const {
    return std::max(1, memGrid->viewport()->height() / gridRowHeight(memGrid));
}

// Title row and nine register rows, each one grid row high, all inside the frame.
void TmemFM::fitDataGrid() {
    const int row = gridRowHeight(dataGrid);
    dataGrid->horizontalHeader()->setFixedHeight(row);
    dataGrid->setFixedHeight(row * (DataModel::kRows + 1) + 2 * dataGrid->frameWidth());
}

void TmemFM::UpdateCaption() {
    setWindowTitle(normal() ? QStringLiteral("MIRA-8 Memory Viewer")
                            : QStringLiteral("WI Memory Viewer"));
}

void TmemFM::UpdateAddresses() { memory_->repaintColumn(MemoryModel::kAddress); }

void TmemFM::SetColumnTitles() { data_->repaintHeader(); }

void TmemFM::RedrawBreaks() { memory_->repaintColumn(MemoryModel::kAddress); }

void TmemFM::SetBreakMenu() { Ignore1->setChecked(m_.options.ignoreBreakpoints); }

void TmemFM::doInit() {
    UpdateT1T13();
    doInitOpts();
    UpdateCaption();
    SetColumnTitles();
    UpdateAddresses();
    SetTracelabel();
    UpdateData(-1);
    UpdateIOflag(-1);
    UpdateIO(-1);
    UpdateInsCount();
    SetBreakMenu();
}

void TmemFM::doInitOpts() {
    UpdateRadix();
    SetROMsize();
    UpdateMemory(-1);
    UpdateData(-1);
    UpdateStatus();
    UpdateSerial();
    UpdateROMaddr();
    UpdateCaption();
    // Tapes are bytes: a WIF word does not fit on one, and no WIF module reads tape.
    SaveTape1->setEnabled(normal());
}

void TmemFM::refreshAll() {
    doInit();
    if (m_.fastClock() && m_.run)
        BlankCycle();
    else
        UpdateCycle();
}

void TmemFM::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // Hidden, the window let updates pass; it catches up when it comes back.
    refreshAll();
}

// --- window state ---

std::string TmemFM::GetScreenData() const {
    return core::FieldListBuilder().add(x()).add(y()).str();
}

void TmemFM::PutScreenData(const std::string& state, int screenWidth, int screenHeight) {
    const core::WindowPosition p = core::windowPositionFromState(state, screenWidth, screenHeight);
    move(p.left, p.top);
    UpdateAddresses();
}

// --- commands ---

void TmemFM::Clear1Click() {
    m_.instructionCount = 0;
    m_.countRefreshCounter = 0;
    UpdateInsCount();
}

void TmemFM::ClearAll1Click() {
    m_.breakpoints.fill(0);
    RedrawBreaks();
    if (onBreakpointsChanged) onBreakpointsChanged();
}

void TmemFM::Ignore1Click() {
    m_.options.ignoreBreakpoints = Ignore1->isChecked();
    RedrawBreaks();
    if (onBreakpointsChanged) onBreakpointsChanged();
}

void TmemFM::addGridMouseUp(int row, Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return;
    if (row < 0 || row > m_.addressMask) return;
    m_.breakpoints[static_cast<size_t>(row)] ^= 1;
    const QModelIndex i = memory_->index(row, MemoryModel::kAddress);
    Q_EMIT memory_->dataChanged(i, i, {Qt::DisplayRole});
    if (onBreakpointsChanged) onBreakpointsChanged();
}

bool TmemFM::eventFilter(QObject* watched, QEvent* event) {
    if (watched == memGrid->viewport() && event->type() == QEvent::Resize) updateScrollRange();
    if (watched == addGrid->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) {
            const QModelIndex i = addGrid->indexAt(me->position().toPoint());
            if (i.isValid() && i.column() == MemoryModel::kAddress)
                addGridMouseUp(i.row(), me->modifiers());
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TmemFM::doSetTopRow(int row) {
    const int rows = memory_->rowCount();
    if (row + visibleRows() >= rows) row = rows - visibleRows() - 1;
    row = std::max(0, row);
    syncing_ = true;
    addGrid->verticalScrollBar()->setValue(row);
    memGrid->verticalScrollBar()->setValue(row);
    syncing_ = false;
    if (memSB->value() != row) memSB->setValue(row);
}

int TmemFM::topRow() const { return memGrid->verticalScrollBar()->value(); }

void TmemFM::selectAddress(int address) {
    memory_->setMarkedAddress(address);
    if (address < topRow() || address >= topRow() + visibleRows())
        doSetTopRow(address - visibleRows() / 2);
}

void TmemFM::SaveTape1Click() {
    std::vector<int32_t> words(m_.memory.begin(), m_.memory.begin() + m_.memorySize);
    TapeSaveRequest req;
    req.words = words;
    req.highest = m_.memorySize - 1;
    req.limit = kTapeLimit;
    req.editorFile = editorFileName ? editorFileName() : QString();
    req.chooseRange = chooseRange;
    req.chooseFile = chooseFile;
    SaveTapeFile(this, prompter_, req);
}

}  // namespace mira::gui
