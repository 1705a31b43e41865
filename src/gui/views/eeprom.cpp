#include "views/eeprom.h"

#include <QScrollBar>
#include <QTableView>

#include "assembler/assembler.h"
#include "core/eeprom_file.h"
#include "core/field_list.h"

namespace mira::gui {

namespace {
std::function<std::span<const std::string>()> eepromNames(ViewSources s) {
    return [s]() -> std::span<const std::string> {
        const assembler::Assembler* a = s.assembler ? s.assembler() : nullptr;
        if (!a) return {};
        return a->eepromNames();
    };
}
}  // namespace

TeepFM::TeepFM(core::Machine& m, ViewSources sources, std::filesystem::path file, QWidget* parent)
    : CellWindow(m, m.eeprom, eepromNames(sources), false, parent), file_(std::move(file)) {
    setObjectName(QStringLiteral("eepFM"));
    setWindowTitle(QStringLiteral("WIF EEPROM Viewer"));
    grid_->setObjectName(QStringLiteral("eepGrid"));
    grid_->verticalScrollBar()->setObjectName(QStringLiteral("eepSB"));
    setFixedSize(kWidth, kHeight);
}

TeepFM::~TeepFM() { SaveEEP(); }

bool TeepFM::SaveEEP() const {
    if (file_.empty()) return true;
    return core::saveEepromFile(file_, m_.eeprom);
}

void TeepFM::InitEEP() {
    if (!file_.empty()) core::loadEepromFile(file_, m_.eeprom);
    grid_->clearSelection();
    grid_->scrollToTop();
    doInitOpts();
}

void TeepFM::doInitOpts() {
    UpdateRadix();
    UpdateEEP(-1);
}

void TeepFM::UpdateRadix() { model_->repaintAll(); }

void TeepFM::UpdateEEP(int i) { model_->showCell(i); }

void TeepFM::InvalidateGrid() { model_->repaintAll(); }

void TeepFM::showEvent(QShowEvent* e) {
    CellWindow::showEvent(e);
    doInitOpts();
}

std::string TeepFM::GetScreenData() const {
    return core::FieldListBuilder().add(x()).add(y()).str();
}

void TeepFM::PutScreenData(const std::string& state, int screenWidth, int screenHeight) {
    const core::WindowPosition p = core::windowPositionFromState(state, screenWidth, screenHeight);
    move(p.left, p.top);
}

}  // namespace mira::gui
