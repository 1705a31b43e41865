// TeepFM "WIF EEPROM Viewer": the 32 EEPROM bytes with their names, the cell the
// processor last selected in red; the bytes persist in "epmvl.dat".
#pragma once

#include <filesystem>

#include "views/cells.h"

namespace mira::gui {

class TeepFM final : public CellWindow {
public:
    static constexpr int kWidth = 422;
    static constexpr int kHeight = 193;

    TeepFM(core::Machine& m, ViewSources sources, std::filesystem::path file,
           QWidget* parent = nullptr);
    // Writes the bytes back to the file.
    ~TeepFM() override;

    void InitEEP();
    void doInitOpts();
    void UpdateRadix();
    void UpdateEEP(int i);
    void InvalidateGrid();
    // True when saved, or when there is no file to save to.
    bool SaveEEP() const;
    std::string GetScreenData() const;
    void PutScreenData(const std::string& state, int screenWidth, int screenHeight);

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::filesystem::path file_;
};

}  // namespace mira::gui
