// The editor's text control `TmyMemo` and the address column `numImage` beside it, which
// paints one row per visible text line at that line's own height.
#pragma once

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QWidget>

namespace mira::gui {

class TmyMemo final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TmyMemo(QWidget* parent = nullptr);

    // Block geometry for the column: the first visible line and where each line sits.
    QTextBlock firstVisible() const { return firstVisibleBlock(); }
    QRectF lineRect(const QTextBlock& block) const {
        return blockBoundingGeometry(block).translated(contentOffset());
    }

Q_SIGNALS:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

class TeditFM;

// Paints the rows the editor computes; holds no state of its own.
class NumImage final : public QWidget {
public:
    NumImage(TeditFM& owner, TmyMemo& memo, QWidget* parent);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    TeditFM& owner_;
    TmyMemo& memo_;
};

}  // namespace mira::gui
