#include "views/cells.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "assembler/formatters.h"
#include "assembler/view_text.h"
#include "views/grid_style.h"
#include "views/prgnum.h"

namespace mira::gui {

namespace {
constexpr int kWidths[CellModel::kColumnCount] = {53, 164, 42, 37, 96};
const char* const kTitles[CellModel::kColumnCount] = {"Addr", "Name", "DEC", "HEX", "Binary"};
// RAM cells 32..63 are the second register bank.
constexpr int kSecondBank = 32;
constexpr int kPageStep = 8;
}  // namespace

CellModel::CellModel(core::Machine& m, std::span<uint8_t> cells,
                     std::function<std::span<const std::string>()> names, bool ram,
                     QObject* parent)
    : QAbstractTableModel(parent),
      m_(m),
      cells_(cells),
      names_(std::move(names)),
      ram_(ram),
      shown_(cells.size(), 0),
      shownNames_(cells.size()) {}

// One empty row follows the cells.
int CellModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : cellCount() + 1;
}
int CellModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString CellModel::text(int row, int column) const {
    if (row < 0 || row >= cellCount()) return {};
    const int radix = m_.options.radix[m_.isWif() ? 1 : 0];
    const size_t i = static_cast<size_t>(row);
    switch (column) {
        case kAddr: {
            QString a = QString::fromStdString(assembler::CellAddressText(row, radix));
            if (ram_ && row >= kSecondBank) a.prepend(QLatin1Char(' '));
            return a;
        }
        case kName: return QString::fromStdString(shownNames_[i]);
        case kDec: return QString::fromStdString(assembler::CellNumberForms(shown_[i]).dec);
        case kHex: return QString::fromStdString(assembler::CellNumberForms(shown_[i]).hex);
        case kBinary: return QString::fromStdString(assembler::CellNumberForms(shown_[i]).bin);
        default: return {};
    }
}

QVariant CellModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row();
    switch (role) {
        case Qt::DisplayRole: return text(row, index.column());
        case Qt::FontRole:
            if (ram_ && index.column() == kAddr && row >= kSecondBank && row < cellCount()) {
                QFont f = gridFont();
                f.setBold(true);
                return f;
            }
            return {};
        case Qt::ForegroundRole:
            // The cell the processor last selected. The row is found by its index: reading
            // the address text back as decimal would pick the wrong row in hexadecimal.
            if (!ram_ && index.column() == kAddr && row == m_.eepromPointer)
                return QBrush(Qt::red);
            return {};
        default: return {};
    }
}

QVariant CellModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kTitles[section]);
    if (role == Qt::ForegroundRole && (section == kDec || section == kHex)) {
        const int radix = m_.options.radix[m_.isWif() ? 1 : 0];
        const bool red = (section == kDec && radix == assembler::kRadixDec) ||
                         (section == kHex && radix == assembler::kRadixHex);
        return QBrush(red ? Qt::red : Qt::black);
    }
    return {};
}

void CellModel::showCell(int i) {
    if (i < -1 || i >= cellCount()) return;
    const std::span<const std::string> names = names_ ? names_() : std::span<const std::string>{};
    const int first = i == -1 ? 0 : i;
    const int last = i == -1 ? cellCount() - 1 : i;
    for (int k = first; k <= last; ++k) {
        const size_t s = static_cast<size_t>(k);
        shown_[s] = cells_[s];
        shownNames_[s] = s < names.size() ? names[s] : std::string();
    }
    Q_EMIT dataChanged(index(first, 0), index(last, kColumnCount - 1), {Qt::DisplayRole});
}

void CellModel::repaintAll() {
    Q_EMIT dataChanged(index(0, 0), index(cellCount(), kColumnCount - 1));
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

CellWindow::CellWindow(core::Machine& m, std::span<uint8_t> cells,
                       std::function<std::span<const std::string>()> names, bool ram,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), m_(m), cells_(cells) {
    model_ = new CellModel(m, cells, std::move(names), ram, this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    grid_ = new QTableView(this);
    grid_->setModel(model_);
    styleGrid(grid_);
    grid_->horizontalHeader()->setVisible(true);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid_->verticalScrollBar()->setPageStep(kPageStep);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int c = 0; c < CellModel::kColumnCount; ++c) grid_->setColumnWidth(c, kWidths[c]);
    grid_->viewport()->installEventFilter(this);
    column->addWidget(grid_);
}

bool CellWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto* me = static_cast<QMouseEvent*>(event);
        const QModelIndex i = grid_->indexAt(me->position().toPoint());
        editCell(i.isValid() ? i.row() : -1);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CellWindow::editCell(int row) {
    // A running program owns the cells; the title and the empty last row hold none.
    if (m_.run || row < 0 || row >= model_->cellCount()) return;
    const int current = cells_[static_cast<size_t>(row)];
    int chosen = -1;
    if (chooseValue) {
        chosen = chooseValue(current);
    } else {
        TprgnumFM prgnumFM(radix(), this);
        prgnumFM.SetIndex(current);
        if (prgnumFM.exec() == QDialog::Accepted) chosen = prgnumFM.GetIndex();
    }
    if (chosen < 0 || chosen > 255) return;
    cells_[static_cast<size_t>(row)] = static_cast<uint8_t>(chosen);
    model_->showCell(row);
    grid_->clearSelection();
}

}  // namespace mira::gui
