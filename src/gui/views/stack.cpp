#include "views/stack.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "assembler/view_text.h"
#include "core/field_list.h"
#include "views/grid_style.h"

namespace mira::gui {

TstackFM::TstackFM(core::Machine& m, QWidget* parent) : QWidget(parent, Qt::Window), m_(m) {
    setObjectName(QStringLiteral("stackFM"));
    setWindowTitle(QStringLiteral("Stack"));
    auto* grid = new QGridLayout(this);
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    Label3 = new QLabel(this);
    Label4 = new QLabel(this);
    int row = 0;
    for (QLabel* l : {Label1, Label2, Label3}) {
        l->setObjectName(QStringLiteral("Label%1").arg(row + 1));
        l->setFont(gridFont());
        grid->addWidget(l, row++, 0, 1, 2);
    }
    Label4->setObjectName(QStringLiteral("Label4"));
    grid->addWidget(new QLabel(QStringLiteral("Stack Pointer:"), this), row, 0);
    grid->addWidget(Label4, row++, 1);
    SpeedButton1 = new QPushButton(QStringLiteral("Reset Error"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    grid->addWidget(SpeedButton1, row, 0, 1, 2);
    connect(SpeedButton1, &QPushButton::clicked, this, &TstackFM::SpeedButton1Click);
    setFixedSize(kWidth, kHeight);
    UpdateStack();
}

void TstackFM::UpdateStack() {
    const int radix = m_.options.radix[m_.isWif() ? 1 : 0];
    QLabel* entries[core::kStackSize] = {Label1, Label2, Label3};
    for (int i = 0; i < core::kStackSize; ++i)
        entries[i]->setText(QString::fromStdString(
            assembler::StackLabel(i, m_.stack[static_cast<size_t>(i)], radix)));
    Label4->setText(QString::number(m_.stackDepth));
    QPalette p = Label4->palette();
    p.setColor(QPalette::WindowText, m_.stackOverflow ? Qt::red : Qt::black);
    Label4->setPalette(p);
}

void TstackFM::SpeedButton1Click() {
    m_.stackOverflow = false;
    UpdateStack();
}

void TstackFM::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    UpdateStack();
}

std::string TstackFM::GetScreenData() const {
    return core::FieldListBuilder().add(x()).add(y()).str();
}

void TstackFM::PutScreenData(const std::string& state, int screenWidth, int screenHeight) {
    const core::WindowPosition p = core::windowPositionFromState(state, screenWidth, screenHeight);
    move(p.left, p.top);
}

}  // namespace mira::gui
