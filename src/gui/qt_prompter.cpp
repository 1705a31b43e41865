#include "qt_prompter.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

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

int messageBoxMinimumWidth(const QWidget& box) {
    // The title bar's own icon and buttons take about this much beside the title.
    constexpr int kTitleBarExtras = 140;
    return box.fontMetrics().horizontalAdvance(title()) + kTitleBarExtras;
}

namespace {
// A short message ("About") made a box narrower than its title, which the window manager
// then cut to "MIRA… uter"; the box is widened to show it whole.
int showBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title(), shown(text), buttons, parent);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(messageBoxMinimumWidth(box), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box.exec();
}
}  // namespace

void QtPrompter::info(const std::string& text) {
    showBox(openerWindow(parent_), QMessageBox::Information, text, QMessageBox::Ok);
}

void QtPrompter::error(const std::string& text) {
    showBox(openerWindow(parent_), QMessageBox::Critical, text, QMessageBox::Ok);
}

bool QtPrompter::askYesNo(const std::string& text) {
    return showBox(openerWindow(parent_), QMessageBox::Question, text,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

core::Answer QtPrompter::askYesNoCancel(const std::string& text) {
    switch (showBox(openerWindow(parent_), QMessageBox::Question, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
        case QMessageBox::Yes: return core::Answer::Yes;
        case QMessageBox::No: return core::Answer::No;
        default: return core::Answer::Cancel;
    }
}

}  // namespace mira::gui
