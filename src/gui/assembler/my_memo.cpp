#include "assembler/my_memo.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>

#include "assembler/edit.h"

namespace mira::gui {

TmyMemo::TmyMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("Memo1"));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(false);
}

void TmyMemo::mouseDoubleClickEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseDoubleClickEvent(e);
    Q_EMIT doubleClicked();
}

bool TmyMemo::admits(qsizetype replaced, qsizetype added) {
    if (length() - replaced + added <= kMaxChars) return true;
    Q_EMIT textLimitHit();
    return false;
}

void TmyMemo::keyPressEvent(QKeyEvent* e) {
    const QString typed = e->text();
    const bool command =
        e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool inserts = !command && !typed.isEmpty() &&
                         (typed.at(0).isPrint() || typed.at(0) == QLatin1Char('\t') ||
                          e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter);
    if (inserts && !admits(textCursor().selectedText().size(), typed.size())) {
        e->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void TmyMemo::insertFromMimeData(const QMimeData* source) {
    if (source && source->hasText() &&
        !admits(textCursor().selectedText().size(), source->text().size()))
        return;
    QPlainTextEdit::insertFromMimeData(source);
}

void TmyMemo::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty() &&
        !admits(textCursor().selectedText().size() + e->replacementLength(),
                e->commitString().size())) {
        e->accept();
        return;
    }
    QPlainTextEdit::inputMethodEvent(e);
}

NumImage::NumImage(TeditFM& owner, TmyMemo& memo, QWidget* parent)
    : QWidget(parent), owner_(owner), memo_(memo) {
    setObjectName(QStringLiteral("numImage"));
    setAutoFillBackground(false);
}

QSize NumImage::sizeHint() const { return {owner_.columnWidth(), 100}; }

void NumImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), TeditFM::kColumnBackground);
    p.setFont(owner_.columnFont());
    const QFontMetrics fm(owner_.columnFont());
    // The text control's viewport starts below its frame; rows line up with its lines.
    const int dy = memo_.viewport()->mapToGlobal(QPoint(0, 0)).y() - mapToGlobal(QPoint(0, 0)).y();
    for (QTextBlock block = memo_.firstVisible(); block.isValid(); block = block.next()) {
        const QRectF r = memo_.lineRect(block);
        const int top = static_cast<int>(r.top()) + dy;
        if (top > height()) break;
        QString text;
        QColor colour;
        owner_.columnRow(block.blockNumber(), text, colour);
        if (owner_.lineHasProblem(block.blockNumber())) {
            // An error on this line: a red mark at the column's edge, beside the text.
            const int h = std::min(static_cast<int>(r.height()), TeditFM::kProblemMarkWidth);
            p.fillRect(QRect(width() - TeditFM::kProblemMarkWidth + 2, top + (static_cast<int>(r.height()) - h) / 2, TeditFM::kProblemMarkWidth - 3, h),
                       QColor(Qt::red));
        }
        if (text.isEmpty()) continue;
        p.setPen(colour);
        p.drawText(QRect(TeditFM::kColumnTextLeft, top, width(), static_cast<int>(r.height())),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

}  // namespace mira::gui
