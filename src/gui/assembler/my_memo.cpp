#include "assembler/my_memo.h"

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
        if (text.isEmpty()) continue;
        p.setPen(colour);
        p.drawText(QRect(TeditFM::kColumnTextLeft, top, width(), static_cast<int>(r.height())),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

}  // namespace mira::gui
