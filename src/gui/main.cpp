// The MIRA-8 desktop emulator.
#include <QApplication>

#include "mira/mira.h"
#include "qt_sound_player.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    mira::gui::TmiraFM::nameApplication();
    // The sound effects play when the machine has an audio output, silently not otherwise.
    mira::gui::QtSoundPlayer sound;
    mira::gui::TmiraFM miraFM(nullptr, &sound);
    miraFM.show();
    return QApplication::exec();
}
