#include "views/trace.h"

#include <QFileDialog>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QVBoxLayout>

namespace mira::gui {

namespace {
constexpr int kWidth = 696;
constexpr int kHeight = 340;
constexpr const char* kSaveFailed = "ERROR: Failed to save trace file";

QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
}  // namespace

TtraceFM::TtraceFM(std::vector<std::string> lines, std::function<void()> clearBuffer,
                   core::Prompter& prompter, QWidget* parent)
    : QDialog(parent), lines_(std::move(lines)), clearBuffer_(std::move(clearBuffer)),
      prompter_(prompter) {
    setObjectName(QStringLiteral("traceFM"));
    setWindowTitle(QStringLiteral("Code Trace"));
    setModal(true);
    resize(kWidth, kHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File1"));
    auto add = [&](const char* name, const char* caption, auto handler) {
        QAction* a = file->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
    };
    add("Save1", "Save", [this] { Save1Click(); });
    add("Clear1", "Clear", [this] { Clear1Click(); });
    add("Exit1", "Exit", [this] { close(); });
    layout->setMenuBar(bar);

    traceMemo = new QPlainTextEdit(this);
    traceMemo->setObjectName(QStringLiteral("traceMemo"));
    traceMemo->setReadOnly(true);
    traceMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    traceMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);  // a fixed-pitch face where Courier New is missing
    traceMemo->setFont(font);
    // Tabs a little wider than the longest address so that source lines line up.
    traceMemo->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')) * 8);
    layout->addWidget(traceMemo);

    chooseSaveFile = [this] { return OpenDialog1(); };
}

void TtraceFM::showEvent(QShowEvent* e) {
    if (!activated_) FormActivate();
    QDialog::showEvent(e);
}

void TtraceFM::FormActivate() {
    activated_ = true;
    // The whole list at once: one document, not a repaint per line.
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines_.size()));
    for (const std::string& line : lines_) text << latin1(line);
    traceMemo->setPlainText(text.join(QLatin1Char('\n')));
    traceMemo->moveCursor(QTextCursor::End);
    traceMemo->ensureCursorVisible();
}

QString TtraceFM::OpenDialog1() {
    QFileDialog d(this, QStringLiteral("Save Trace File"), QString(),
                  QStringLiteral("Text Files (*.txt);;All Files (*)"));
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setDefaultSuffix(QStringLiteral("txt"));
    d.selectFile(QStringLiteral("*.txt"));
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
    return d.selectedFiles().constFirst();
}

void TtraceFM::Save1Click() {
    const QString path = chooseSaveFile();
    if (path.isEmpty()) return;
    QSaveFile f(path);
    QString text = traceMemo->toPlainText();
    if (!text.isEmpty()) text += QLatin1Char('\n');
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toLatin1()) < 0 || !f.commit())
        prompter_.error(kSaveFailed);
}

void TtraceFM::Clear1Click() {
    if (!prompter_.askYesNo(kClearQuestion)) return;
    clearBuffer_();
    lines_.clear();
    traceMemo->clear();
}

}  // namespace mira::gui
