// TstackFM "Stack": the WIF return stack's three entries, its depth and overflow.
#pragma once

#include <QWidget>

#include "core/machine.h"

class QLabel;
class QPushButton;

namespace mira::gui {

class TstackFM final : public QWidget {
public:
    static constexpr int kWidth = 147;
    static constexpr int kHeight = 152;

    explicit TstackFM(core::Machine& m, QWidget* parent = nullptr);
    void UpdateStack();
    void SpeedButton1Click();
    std::string GetScreenData() const;
    void PutScreenData(const std::string& state, int screenWidth, int screenHeight);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* SpeedButton1 = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    core::Machine& m_;
};

}  // namespace mira::gui
