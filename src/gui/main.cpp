// The MIRA-8 desktop emulator.
#include <QApplication>
#include <QIcon>
#include <cstdlib>
#include <iostream>

#include "app_check.h"
#include "core/window_placement.h"
#include "mira/mira.h"
#include "qt_sound_player.h"

int main(int argc, char** argv) {
    using mira::gui::StartAction;
    const StartAction action = mira::gui::startAction(argc, argv);
    // Answered before Qt starts, so they work without a display (the man page is made so).
    if (action == StartAction::Help) {
        mira::gui::printHelp(std::cout);
        return 0;
    }
    if (action == StartAction::Version) {
        mira::gui::printVersion(std::cout);
        return 0;
    }
    if (action == StartAction::CheckData && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // On a Wayland desktop with XWayland, X11 keeps stored places and the placement working.
    if (const char* platform = mira::core::preferredPlatform(
            std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"));
        *platform != '\0')
        qputenv("QT_QPA_PLATFORM", platform);
    QApplication app(argc, argv);
    mira::gui::TmiraFM::nameApplication();
    // The menu entry's name and icon, for the desktop's task bar and window switcher.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.mira8.emulator"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("mira8")));
    if (action == StartAction::CheckData) return mira::gui::checkData(std::cout);
    // The sound effects play when the machine has an audio output, silently not otherwise.
    mira::gui::QtSoundPlayer sound;
    mira::gui::TmiraFM miraFM(nullptr, &sound);
    miraFM.show();
    return QApplication::exec();
}
