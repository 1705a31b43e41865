#include "views/prgnum.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "assembler/formatters.h"

namespace mira::gui {

namespace {
constexpr int kValues = 256;
constexpr int kVisibleLines = 16;
}  // namespace

TprgnumFM::TprgnumFM(int radix, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("prgnumFM"));
    setWindowTitle(QStringLiteral("Memory Value"));
    auto* column = new QVBoxLayout(this);
    pgnCB = new QComboBox(this);
    pgnCB->setObjectName(QStringLiteral("pgnCB"));
    pgnCB->setMaxVisibleItems(kVisibleLines);
    for (int v = 0; v < kValues; ++v)
        pgnCB->addItem(QString::fromStdString(assembler::FormatRadix(v, radix, true)));
    column->addWidget(pgnCB);
    auto* row = new QHBoxLayout;
    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName(QStringLiteral("okSB"));
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName(QStringLiteral("canSB"));
    row->addWidget(okSB);
    row->addWidget(canSB);
    column->addLayout(row);
    connect(okSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);
}

void TprgnumFM::SetIndex(int index) {
    pgnCB->setCurrentIndex(index >= 0 && index < kValues ? index : 0);
}

int TprgnumFM::GetIndex() const { return pgnCB->currentIndex(); }

}  // namespace mira::gui
