// TramFM "WIF RAM Viewer": the 64 RAM bytes with their names.
#pragma once

#include "views/cells.h"

namespace mira::gui {

class TramFM final : public CellWindow {
public:
    static constexpr int kWidth = 439;
    static constexpr int kMinHeight = 259;
    static constexpr int kMaxHeight = 743;

    TramFM(core::Machine& m, ViewSources sources, QWidget* parent = nullptr);
    void InitRAM();
    void doInitOpts();
    void UpdateRadix();
    void UpdateRAM(int i);
    std::string GetScreenData() const;
    void PutScreenData(const std::string& state, int screenWidth, int screenHeight);

protected:
    void showEvent(QShowEvent* e) override;
};

}  // namespace mira::gui
