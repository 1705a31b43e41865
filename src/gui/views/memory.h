// The memory viewer TmemFM: registers and I/O rows, the address column with breakpoints,
// every memory word in five number forms with its disassembly or listing text, and the
// status bar. One model over the machine state serves both grids; rows are formatted only
// when Qt paints them.
#pragma once

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <array>
#include <bitset>
#include <functional>

#include "core/machine.h"
#include "core/prompter.h"

class QLabel;
class QScrollBar;
class QTableView;
class QAction;

namespace mira::assembler {
class Assembler;
class InstructionTable;
}  // namespace mira::assembler
namespace mira::core {
class RunControl;
}

namespace mira::gui {

// What the views need beside the machine: the instruction table and the assembler's last
// result, both owned by the main window (absent in some tests).
struct ViewSources {
    std::function<const assembler::InstructionTable*()> table;
    std::function<const assembler::Assembler*()> assembler;
};

// Memory words as last shown: a row changes only when it is told to, so a running program
// repaints rows at the display throttle's pace, never per write.
class MemoryModel final : public QAbstractTableModel {
public:
    enum Column { kAddress = 0, k737, k377, kDec, kHex, kBin, kText, kColumnCount };

    MemoryModel(core::Machine& m, ViewSources sources, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void setRows(int rows);
    // Takes the machine's word at `address` (−1 all) and repaints its row.
    void showWord(int address);
    // Takes the word now, repaints later with the other taken words (flushRepaint).
    void takeWord(int address);
    void flushRepaint();
    void blankAll();
    // Radix, mode, breakpoints or listing changed: every visible cell is redrawn.
    void repaintColumn(int column);
    int shownValue(int address) const { return shown_[static_cast<size_t>(address)]; }
    bool blank(int address) const { return blank_[static_cast<size_t>(address)]; }
    QString text(int address, int column) const;
    // The row picked in another window (the timing diagram's instruction), shaded; -1 none.
    void setMarkedAddress(int address);
    int markedAddress() const { return marked_; }

private:
    core::Machine& m_;
    ViewSources sources_;
    int marked_ = -1;
    int rows_ = 256;
    std::array<int32_t, core::kMaxMemory> shown_{};
    std::bitset<core::kMaxMemory> blank_;
    int dirtyLow_ = core::kMaxMemory;
    int dirtyHigh_ = -1;
};

// The register and I/O grid: nine rows of texts set by the update operations.
class DataModel final : public QAbstractTableModel {
public:
    DataModel(core::Machine& m, QObject* parent = nullptr);
    int rowCount(const QModelIndex& = {}) const override { return kRows; }
    int columnCount(const QModelIndex& = {}) const override { return kColumns; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    // `row` counts as the window names it: 1 PC .. 9 OUT 1.
    void setCell(int row, int column, const QString& text);
    QString cell(int row, int column) const;
    void repaintHeader() { Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumns - 1); }

    static constexpr int kRows = 9;
    static constexpr int kColumns = 7;

private:
    core::Machine& m_;
    std::array<std::array<QString, kColumns>, kRows> cells_;
};

class TmemFM final : public QMainWindow {
public:
    TmemFM(core::Machine& m, core::RunControl& rc, core::Prompter& prompter, ViewSources sources,
           QWidget* parent = nullptr);

    // --- update operations ---
    void UpdateData(int which);
    void ShowDataRow(int value, int row, bool full);
    void SetExtCtrl(int row);
    void UpdateIO(int k);
    void UpdateIOflag(int k);
    void UpdateMemory(int addr);
    void DisassembleCodes(int addr);
    void UpdateStatus();
    void UpdateSerial();
    void UpdateROMaddr();
    void UpdateCycle();
    void BlankCycle();
    void UpdateT1T13();
    void SetTracelabel();
    void UpdateInsCount();
    void UpdateRadix();
    void SetROMsize();
    void UpdateCaption();
    void UpdateAddresses();
    void SetColumnTitles();
    void RedrawBreaks();
    void UpdateGridBreaks() { RedrawBreaks(); }
    void SetBreakMenu();
    void ClearMemGrid();
    void doInit();
    void doInitOpts();
    // Everything at once: on show, and after a mode change.
    void refreshAll();

    std::string GetScreenData() const;
    void PutScreenData(const std::string& state, int screenWidth, int screenHeight);

    // --- menu commands and mouse ---
    void Clear1Click();
    void SaveTape1Click();
    void Ignore1Click();
    void ClearAll1Click();
    // A release on the address column at a row: toggles that address's breakpoint.
    void addGridMouseUp(int row, Qt::KeyboardModifiers modifiers);
    void doSetTopRow(int row);
    int topRow() const;
    // Shades the row of `address` and scrolls it into view.
    void selectAddress(int address);

    MemoryModel& memoryModel() { return *memory_; }
    DataModel& dataModel() { return *data_; }
    QString statusText(int panel) const;
    // Rows wholly inside the memory grid; the scroll maximum is the row count less these
    // less one, so that the last address can be the bottom row.
    int visibleRows() const;
    // The grids' font; their rows, the register grid and the scroll range follow it.
    void setGridFont(const QFont& font);

    // The editor's address margin follows the breakpoints.
    std::function<void()> onBreakpointsChanged;
    // The editor's current file, for the tape file dialog's first name.
    std::function<QString()> editorFileName;
    // Dialog seams for tests: the range (false on Cancel) and the file name (empty on Cancel).
    std::function<bool(int& from, int& to)> chooseRange;
    std::function<QString(const QString& suggested)> chooseFile;

    QTableView* addGrid = nullptr;
    QTableView* memGrid = nullptr;
    QTableView* dataGrid = nullptr;
    QScrollBar* memSB = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void buildStatusBar();
    void fitDataGrid();
    void updateScrollRange();
    void setPanel(int panel, const std::string& text);
    bool normal() const { return !m_.isWif(); }
    int radix() const;

    core::Machine& m_;
    core::RunControl& rc_;
    core::Prompter& prompter_;
    ViewSources sources_;
    MemoryModel* memory_ = nullptr;
    DataModel* data_ = nullptr;
    std::array<QLabel*, 10> panels_{};
    QAction* Ignore1 = nullptr;
    QAction* SaveTape1 = nullptr;
    bool syncing_ = false;
};

}  // namespace mira::gui
