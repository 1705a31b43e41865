// The MIRA-8 desktop emulator.
#include <QApplication>

#include "mira/mira.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mira8"));
    QApplication::setApplicationDisplayName(QStringLiteral("MIRA-8 Microcomputer"));
    mira::gui::TmiraFM miraFM;
    miraFM.show();
    return QApplication::exec();
}
