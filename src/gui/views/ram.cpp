#include "views/ram.h"

#include <QScrollBar>
#include <QTableView>

#include "assembler/assembler.h"
#include "core/field_list.h"

namespace mira::gui {

namespace {
std::function<std::span<const std::string>()> ramNames(ViewSources s) {
    return [s]() -> std::span<const std::string> {
        const assembler::Assembler* a = s.assembler ? s.assembler() : nullptr;
        if (!a) return {};
        return a->ramNames();
    };
}
}  // namespace

TramFM::TramFM(core::Machine& m, ViewSources sources, QWidget* parent)
    : CellWindow(m, m.ram, ramNames(sources), true, parent) {
    setObjectName(QStringLiteral("ramFM"));
    setWindowTitle(QStringLiteral("WIF RAM Viewer"));
    grid_->setObjectName(QStringLiteral("ramGrid"));
    grid_->verticalScrollBar()->setObjectName(QStringLiteral("ramSB"));
    setFixedWidth(kWidth);
    setMinimumHeight(kMinHeight);
    setMaximumHeight(kMaxHeight);
    resize(kWidth, kMinHeight);
}

void TramFM::InitRAM() {
    grid_->clearSelection();
    grid_->scrollToTop();
    doInitOpts();
}

void TramFM::doInitOpts() {
    UpdateRadix();
    UpdateRAM(-1);
}

void TramFM::UpdateRadix() { model_->repaintAll(); }

void TramFM::UpdateRAM(int i) { model_->showCell(i); }

void TramFM::showEvent(QShowEvent* e) {
    CellWindow::showEvent(e);
    doInitOpts();
}

std::string TramFM::GetScreenData() const {
    return core::FieldListBuilder().add(x()).add(y()).add(height()).str();
}

void TramFM::PutScreenData(const std::string& state, int screenWidth, int screenHeight) {
    const core::WindowPosition p = core::windowPositionFromState(state, screenWidth, screenHeight);
    const int h = core::parseIntInRange(core::fieldAt(state, 2), kMinHeight, kMaxHeight, kMinHeight);
    move(p.left, p.top);
    resize(kWidth, h);
}

}  // namespace mira::gui
