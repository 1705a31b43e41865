#include "qt_prompter.h"

#include <QApplication>
#include <QMessageBox>

#include "window_place.h"

namespace mira::gui {

namespace {
// The texts break lines with CR, which a Qt label does not; show them as line feeds.
QString shown(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}
// The application title; the application sets no display name (see nameApplication).
QString title() { return QStringLiteral("MIRA-8 Microcomputer"); }
}  // namespace

void QtPrompter::info(const std::string& text) {
    QMessageBox::information(openerWindow(parent_), title(), shown(text));
}

void QtPrompter::error(const std::string& text) {
    QMessageBox::critical(openerWindow(parent_), title(), shown(text));
}

bool QtPrompter::askYesNo(const std::string& text) {
    return QMessageBox::question(openerWindow(parent_), title(), shown(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

core::Answer QtPrompter::askYesNoCancel(const std::string& text) {
    switch (QMessageBox::question(openerWindow(parent_), title(), shown(text),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
        case QMessageBox::Yes: return core::Answer::Yes;
        case QMessageBox::No: return core::Answer::No;
        default: return core::Answer::Cancel;
    }
}

}  // namespace mira::gui
