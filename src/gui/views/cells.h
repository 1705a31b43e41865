// What the RAM and EEPROM views share: a grid of byte cells with the names the assembler
// gave them, in decimal, hexadecimal and binary, edited by double click.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "core/machine.h"
#include "views/memory.h"

class QTableView;

namespace mira::gui {

class CellModel final : public QAbstractTableModel {
public:
    enum Column { kAddr = 0, kName, kDec, kHex, kBinary, kColumnCount };

    // `cells` is the machine's RAM or EEPROM; `names` the assembler's names for them.
    CellModel(core::Machine& m, std::span<uint8_t> cells,
              std::function<std::span<const std::string>()> names, bool ram,
              QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

    int cellCount() const { return static_cast<int>(cells_.size()); }
    // Takes cell i's value and name (−1 all) and repaints its row.
    void showCell(int i);
    void repaintAll();
    QString text(int row, int column) const;

private:
    core::Machine& m_;
    std::span<uint8_t> cells_;
    std::function<std::span<const std::string>()> names_;
    bool ram_;
    std::vector<int> shown_;
    std::vector<std::string> shownNames_;
};

class CellWindow : public QWidget {
public:
    CellWindow(core::Machine& m, std::span<uint8_t> cells,
               std::function<std::span<const std::string>()> names, bool ram, QWidget* parent);

    CellModel& model() { return *model_; }
    QTableView* grid() const { return grid_; }
    // A double click on grid row `row` (0 = first cell): edits that cell.
    void editCell(int row);
    // The value chooser; returns −1 on Cancel. Empty uses TprgnumFM.
    std::function<int(int current)> chooseValue;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    int radix() const { return m_.options.radix[m_.isWif() ? 1 : 0]; }

    core::Machine& m_;
    std::span<uint8_t> cells_;
    CellModel* model_ = nullptr;
    QTableView* grid_ = nullptr;
};

}  // namespace mira::gui
