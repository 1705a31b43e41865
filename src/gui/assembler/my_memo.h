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

    // The most characters the text holds; a line break counts as one.
    static constexpr qsizetype kMaxChars = 1000000;
    qsizetype length() const { return document()->characterCount() - 1; }
    // Whether putting `added` characters in place of `replaced` keeps the text within
    // kMaxChars. When not, textLimitHit tells the window, and the caller changes nothing:
    // a paste or a file that does not fit is refused whole, never cut short.
    bool admits(qsizetype replaced, qsizetype added);

    // Block geometry for the column: the first visible line and where each line sits.
    QTextBlock firstVisible() const { return firstVisibleBlock(); }
    QRectF lineRect(const QTextBlock& block) const {
        return blockBoundingGeometry(block).translated(contentOffset());
    }

Q_SIGNALS:
    void doubleClicked();
    void textLimitHit();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
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
