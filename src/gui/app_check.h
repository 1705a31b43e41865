// The emulator's own command-line options, handled before any window: --help, --version
// and --check-data, a self-check for installers that starts the main window off screen
// and reports where the program found its files.
#pragma once

#include <iosfwd>

namespace mira::gui {

enum class StartAction { Run, Help, Version, CheckData };

// Only the emulator's own options are recognised; anything else (Qt's -platform, -style
// and so on) is left for QApplication.
StartAction startAction(int argc, char** argv);

void printHelp(std::ostream& out);
void printVersion(std::ostream& out);

// Needs a QApplication. Prints one line per item and returns 0 when the help document
// and both instruction tables were found, the main window started without a message
// and its settings file was written on closing; 1 otherwise.
int checkData(std::ostream& out);

}  // namespace mira::gui
