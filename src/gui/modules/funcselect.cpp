#include "modules/funcselect.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>

namespace mira::gui {

namespace {
constexpr const char* kGapField = "cmdBlank";
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
}  // namespace

TFuncSelFM::TFuncSelFM(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FuncSelFM"));
    setWindowTitle(QStringLiteral("Selection..."));
    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    inputLabel = new QLabel(this);
    inputLabel->setObjectName(QStringLiteral("inputLabel"));
    inputLabel->hide();
    inputEdit = new QLineEdit(this);
    inputEdit->setObjectName(QStringLiteral("inputEdit"));
    inputEdit->hide();
    okSB = new QPushButton(QStringLiteral("OK"), this);
    okSB->setObjectName(QStringLiteral("okSB"));
    okSB->setDefault(true);
    canSB = new QPushButton(QStringLiteral("Cancel"), this);
    canSB->setObjectName(QStringLiteral("canSB"));
    canSB->setToolTip(QStringLiteral("Cancel"));
    group_ = new QButtonGroup(this);
    for (auto* b : {okSB, canSB}) b->setFixedSize(kButtonWidth, kButtonHeight);
    connect(okSB, &QPushButton::clicked, this, &QDialog::accept);
    connect(canSB, &QPushButton::clicked, this, &QDialog::reject);
    layoutControls();
}

void TFuncSelFM::SetMode(const QString& text, int initial) {
    FreeRadioButtons();
    const QStringList fields = text.split(QLatin1Char('~'));
    titleLabel->setText(fields.value(0));
    int gaps = 0;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QString& f = fields[i];
        if (f.isEmpty()) break;
        if (f == QLatin1String(kGapField)) {
            ++gaps;
            continue;
        }
        auto* rb = new QRadioButton(f, this);
        rb->setObjectName(QStringLiteral("choice%1").arg(choices_.size()));
        group_->addButton(rb);
        rb->setChecked(static_cast<int>(choices_.size()) == initial);
        connect(rb, &QRadioButton::toggled, this, &TFuncSelFM::enableOk);
        rb->show();
        choices_.push_back(rb);
        gapsBefore_.push_back(gaps);
    }
    gapsAfter_ = gaps - (gapsBefore_.empty() ? 0 : gapsBefore_.back());
    layoutControls();
    enableOk();
}

void TFuncSelFM::enableOk() {
    const bool chosen = std::any_of(choices_.begin(), choices_.end(),
                                    [](const QRadioButton* rb) { return rb->isChecked(); });
    okSB->setEnabled(choices_.empty() || chosen);
}

void TFuncSelFM::layoutControls() {
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(QStringLiteral("www"));
    const QSize titleSize = titleLabel->sizeHint();
    titleLabel->move(w, w / 2);
    titleLabel->resize(titleSize);
    int bh = 0;
    if (choices_.empty()) {
        QRadioButton probe(QStringLiteral("X"));
        probe.setFont(font());
        bh = probe.sizeHint().height();
    } else {
        bh = choices_.front()->sizeHint().height();
    }
    int widest = 0;
    double y = titleLabel->y() + 1.5 * titleSize.height();
    int bottom = static_cast<int>(y);
    for (size_t i = 0; i < choices_.size(); ++i) {
        QRadioButton* rb = choices_[i];
        const int gapsHere = gapsBefore_[i] - (i ? gapsBefore_[i - 1] : 0);
        y += gapsHere * bh / 2.0;
        rb->resize(rb->sizeHint());
        rb->move(w, static_cast<int>(std::lround(y)));
        widest = std::max(widest, rb->width());
        bottom = rb->y() + rb->height();
        y += 1.2 * bh;
    }
    const int gapCount = (gapsBefore_.empty() ? 0 : gapsBefore_.back()) + gapsAfter_;
    int width = std::max(titleSize.width() + 4 * w, widest + 2 * w);
    int height = static_cast<int>(choices_.size()) * bh + gapCount * bh / 2 + 3 * w +
                 okSB->height() + 10;
    // The rule above leaves the buttons 0.2 of a line short per choice; a long list would
    // run into the OK button, so the dialog grows to keep them clear.
    height = std::max(height, bottom + w + okSB->height() + 10);
    if (inputEnabled_) {
        const int top = bottom + w / 2;
        inputLabel->move(w, top);
        inputLabel->resize(inputLabel->sizeHint());
        inputEdit->setGeometry(w, top + inputLabel->height() + 2, std::max(widest, 4 * w),
                               inputEdit->sizeHint().height());
        height += inputLabel->height() + inputEdit->height() + w / 2;
        width = std::max(width, inputEdit->width() + 2 * w);
    }
    width = std::max(width, 2 * kButtonWidth + 3 * 8);
    const int by = height - okSB->height() - 10;
    const int gap = 8;
    const int bx = (width - 2 * kButtonWidth - gap) / 2;
    okSB->move(bx, by);
    canSB->move(bx + kButtonWidth + gap, by);
    setFixedSize(width, height);
}

int TFuncSelFM::GetSelected() const {
    if (result() != QDialog::Accepted) return -1;
    for (size_t i = 0; i < choices_.size(); ++i)
        if (choices_[i]->isChecked()) return static_cast<int>(i);
    return -1;
}

void TFuncSelFM::doDeselect(int n) {
    if (n >= 0 && n < choiceCount()) choices_[n]->setEnabled(false);
}

void TFuncSelFM::EnableInput(const QString& caption) {
    inputEnabled_ = true;
    inputLabel->setText(caption);
    inputLabel->show();
    inputEdit->show();
    layoutControls();
}

QString TFuncSelFM::GetInput() const { return inputEdit->text(); }

void TFuncSelFM::FreeRadioButtons() {
    for (auto* rb : choices_) delete rb;
    choices_.clear();
    gapsBefore_.clear();
    gapsAfter_ = 0;
    layoutControls();
    enableOk();
}

int FuncSelChooser::choose(const std::string& text, int initial) {
    TFuncSelFM dlg(parent_);
    dlg.SetMode(QString::fromStdString(text), initial);
    dlg.exec();
    return dlg.GetSelected();
}

}  // namespace mira::gui
