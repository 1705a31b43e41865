// Find, Replace and Clean of the editor.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>

#include "assembler/edit.h"
#include "assembler/my_memo.h"
#include "mira/mira.h"

namespace mira::gui {

namespace {
// Characters that belong to a word for the whole-word option and Clean.
bool wordChar(QChar c) { return c.unicode() >= 33 && c.unicode() <= 127; }
}  // namespace

int TeditFM::findIn(const QString& text, const Search& s, int from) {
    if (s.text.isEmpty()) return -1;
    const Qt::CaseSensitivity cs = s.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int at = std::max(0, from);
    while (at <= text.size()) {
        const int i = static_cast<int>(text.indexOf(s.text, at, cs));
        if (i < 0) return -1;
        if (!s.wholeWord) return i;
        const int end = i + static_cast<int>(s.text.size());
        const bool before = i == 0 || !wordChar(text[i - 1]);
        const bool after = end >= text.size() || !wordChar(text[end]);
        if (before && after) return i;
        at = i + 1;
    }
    return -1;
}

bool TeditFM::FindNext(const Search& s, bool reportMissing) {
    const QString text = Memo1->toPlainText();
    QTextCursor c = Memo1->textCursor();
    const int i = findIn(text, s, c.selectionEnd());
    if (i < 0) {
        if (reportMissing)
            mira_.prompter().error("Search string '" + s.text.toStdString() + "' not found");
        return false;
    }
    c.setPosition(i);
    c.setPosition(i + static_cast<int>(s.text.size()), QTextCursor::KeepAnchor);
    Memo1->setTextCursor(c);
    Memo1->setFocus();
    return true;
}

void TeditFM::ReplaceNext(const Search& s, const QString& with) {
    QTextCursor c = Memo1->textCursor();
    const Qt::CaseSensitivity cs = s.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (c.hasSelection() && c.selectedText().compare(s.text, cs) == 0) {
        if (!Memo1->admits(c.selectedText().size(), with.size())) return;
        c.insertText(with);
        Memo1->setTextCursor(c);
    }
    FindNext(s);
}

int TeditFM::ReplaceAll(const Search& s, const QString& with) {
    if (s.text.isEmpty()) return 0;
    QString text = Memo1->toPlainText();
    QTextCursor c = Memo1->textCursor();
    const int delta = static_cast<int>(with.size() - s.text.size());
    // One pass from the caret to the end, then one from the start back up to where the
    // first pass began, so that no word is replaced twice (a replacement may hold the
    // find text).
    int origin = c.selectionStart();
    int at = origin;
    bool wrapped = false;
    int count = 0;
    QTextCursor edit(Memo1->document());
    edit.beginEditBlock();
    for (;;) {
        const int i = findIn(text, s, at);
        // After the wrap, matches that start before the first pass began.
        const bool inRange = i >= 0 && (!wrapped || i < origin);
        if (!inRange) {
            if (wrapped) break;
            wrapped = true;
            at = 0;
            continue;
        }
        // At the text limit the replacing stops, after the one message.
        if (!Memo1->admits(s.text.size(), with.size())) break;
        edit.setPosition(i);
        edit.setPosition(i + static_cast<int>(s.text.size()), QTextCursor::KeepAnchor);
        edit.insertText(with);
        text.replace(i, s.text.size(), with);
        at = i + static_cast<int>(with.size());
        if (wrapped) origin += delta;
        ++count;
    }
    edit.endEditBlock();
    QTextCursor end = Memo1->textCursor();
    end.clearSelection();
    Memo1->setTextCursor(end);
    return count;
}

QString TeditFM::initialSearchText() const {
    const QTextCursor c = Memo1->textCursor();
    if (c.hasSelection()) return c.selectedText();
    const QString line = c.block().text();
    const int col = c.positionInBlock();
    int from = col;
    while (from > 0 && line[from - 1].unicode() > 32) --from;
    int to = col;
    while (to < line.size() && line[to].unicode() > 32) ++to;
    QString word = line.mid(from, to - from);
    if (word.endsWith(QLatin1Char(':'))) word.chop(1);
    return word;
}

void TeditFM::Find1Click() { openSearchDialog(false); }

void TeditFM::Replace1Click() { openSearchDialog(true); }

void TeditFM::openSearchDialog(bool replace) {
    if (!findDialog_) {
        findDialog_ = new QDialog(this);
        findDialog_->setObjectName(QStringLiteral("FindDialog1"));
        auto* grid = new QGridLayout(findDialog_);
        findEdit_ = new QLineEdit(findDialog_);
        findEdit_->setObjectName(QStringLiteral("findEdit"));
        replaceEdit_ = new QLineEdit(findDialog_);
        replaceEdit_->setObjectName(QStringLiteral("replaceEdit"));
        matchCase_ = new QCheckBox(QStringLiteral("Match case"), findDialog_);
        matchCase_->setObjectName(QStringLiteral("matchCase"));
        wholeWord_ = new QCheckBox(QStringLiteral("Match whole word only"), findDialog_);
        wholeWord_->setObjectName(QStringLiteral("wholeWord"));
        auto* findNext = new QPushButton(QStringLiteral("Find Next"), findDialog_);
        findNext->setObjectName(QStringLiteral("findNextButton"));
        findNext->setDefault(true);
        auto* replaceOne = new QPushButton(QStringLiteral("Replace"), findDialog_);
        replaceOne->setObjectName(QStringLiteral("replaceButton"));
        auto* replaceAll = new QPushButton(QStringLiteral("Replace All"), findDialog_);
        replaceAll->setObjectName(QStringLiteral("replaceAllButton"));
        auto* cancel = new QPushButton(QStringLiteral("Cancel"), findDialog_);
        cancel->setObjectName(QStringLiteral("cancelButton"));
        auto* replaceLabel = new QLabel(QStringLiteral("Replace with:"), findDialog_);
        replaceLabel->setObjectName(QStringLiteral("replaceLabel"));
        grid->addWidget(new QLabel(QStringLiteral("Find what:"), findDialog_), 0, 0);
        grid->addWidget(findEdit_, 0, 1);
        grid->addWidget(replaceLabel, 1, 0);
        grid->addWidget(replaceEdit_, 1, 1);
        grid->addWidget(matchCase_, 2, 0, 1, 2);
        grid->addWidget(wholeWord_, 3, 0, 1, 2);
        grid->addWidget(findNext, 0, 2);
        grid->addWidget(replaceOne, 1, 2);
        grid->addWidget(replaceAll, 2, 2);
        grid->addWidget(cancel, 3, 2);
        auto search = [this] {
            return Search{findEdit_->text(), matchCase_->isChecked(), wholeWord_->isChecked()};
        };
        connect(findNext, &QPushButton::clicked, this, [this, search] { FindNext(search()); });
        connect(replaceOne, &QPushButton::clicked, this,
                [this, search] { ReplaceNext(search(), replaceEdit_->text()); });
        connect(replaceAll, &QPushButton::clicked, this,
                [this, search] { ReplaceAll(search(), replaceEdit_->text()); });
        connect(cancel, &QPushButton::clicked, findDialog_, &QDialog::reject);
        connect(findDialog_, &QDialog::finished, this, [this] { replaceDialogClosed(); });
    }
    replaceMode_ = replace;
    findDialog_->setWindowTitle(replace ? QStringLiteral("Replace") : QStringLiteral("Find"));
    for (const char* name : {"replaceEdit", "replaceLabel", "replaceButton", "replaceAllButton"})
        findDialog_->findChild<QWidget*>(QString::fromLatin1(name))->setVisible(replace);
    caretAtOpen_ = Memo1->textCursor().position();
    findEdit_->setText(initialSearchText());
    findEdit_->selectAll();
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

void TeditFM::replaceDialogClosed() {
    if (!replaceMode_) return;
    QTextCursor c = Memo1->textCursor();
    c.setPosition(std::min(caretAtOpen_, Memo1->document()->characterCount() - 1));
    Memo1->setTextCursor(c);
}

void TeditFM::Clean1Click() {
    if (Memo1->document()->isEmpty()) return;
    setStatus(4, QStringLiteral("Cleaning..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int firstVisible = Memo1->firstVisible().blockNumber();
    QStringList lines;
    bool changed = false;
    for (QTextBlock b = Memo1->document()->begin(); b.isValid(); b = b.next()) {
        QString line = b.text();
        int last = static_cast<int>(line.size()) - 1;
        while (last >= 0 && !wordChar(line[last])) --last;
        // A line without any such character stays as it is.
        if (last >= 0 && last + 1 < line.size()) {
            line.truncate(last + 1);
            changed = true;
        }
        lines.append(line);
    }
    if (changed) {
        const int scroll = Memo1->verticalScrollBar()->value();
        QTextCursor all(Memo1->document());
        all.select(QTextCursor::Document);
        all.insertText(lines.join(QLatin1Char('\n')));
        Memo1->verticalScrollBar()->setValue(scroll);
    }
    QTextCursor c = Memo1->textCursor();
    c.setPosition(Memo1->document()->findBlockByNumber(std::max(0, firstVisible)).position());
    Memo1->setTextCursor(c);
    setStatus(4, QString());
    QApplication::restoreOverrideCursor();
    mira_.prompter().info("Clean completed");
}

}  // namespace mira::gui
