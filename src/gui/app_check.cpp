#include "app_check.h"

#include <QApplication>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "assembler/instruction_table.h"
#include "core/data_dir.h"
#include "core/settings_file.h"
#include "midi/gm_synth.h"
#include "mira/mira.h"

#ifndef MIRA8_VERSION
#define MIRA8_VERSION "0"
#endif

namespace mira::gui {

namespace {

constexpr const char* kHelpFile = "mira8help.pdf";

// Every message the window would have shown, answered No: nothing waits for a click.
class RecordingPrompter final : public core::Prompter {
public:
    void info(const std::string& text) override { messages.push_back(text); }
    void error(const std::string& text) override { messages.push_back(text); }
    bool askYesNo(const std::string& text) override {
        messages.push_back(text);
        return false;
    }
    core::Answer askYesNoCancel(const std::string& text) override {
        messages.push_back(text);
        return core::Answer::Cancel;
    }
    std::vector<std::string> messages;
};

bool startsWith(const std::filesystem::path& file, const char* magic) {
    std::ifstream in(file, std::ios::binary);
    std::string head(std::strlen(magic), '\0');
    return in.read(head.data(), static_cast<std::streamsize>(head.size())) && head == magic;
}

// One line per message, CRs shown as spaces so a line stays a line.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

StartAction startAction(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return StartAction::Help;
        if (a == "--version") return StartAction::Version;
        if (a == "--check-data") return StartAction::CheckData;
    }
    return StartAction::Run;
}

void printHelp(std::ostream& out) {
    out << R"(Usage: mira8 [OPTION]... [QT-OPTION]...
The MIRA-8 Microcomputer emulator: the front panel of the MIRA-8 teaching
microcomputer with live lamps and toggle switches, both operating modes, an
assembler with its editor, debug views, plug-in device modules and the serial
link to a MIRA-8 board. Right click the panel for the menu; Esc closes it.

Options:
  -h, --help        print this help and exit
      --version     print the version and exit
      --check-data  start the emulator off screen, print where it found its
                    help document and instruction tables and where it keeps
                    the user's files, then exit (status 0 when all is well)

Qt's own options (-platform, -style, -display ...) are passed on to Qt.

Environment:
  MIRA8_DATA_DIR    the folder for the settings and the other files the
                    emulator writes; also searched first for the files it reads
  XDG_DATA_HOME     the user's data folder, ~/.local/share when unset; the
                    emulator's files go to its mira8 folder when the program's
                    own folder is an installed one or not writable

The headless front end, for scripts and autograding, is mira8-cli.
)";
}

void printVersion(std::ostream& out) { out << "mira8 " << MIRA8_VERSION << "\n"; }

int checkData(std::ostream& out) {
    bool ok = true;
    const auto dataDir = core::dataDirectory();
    out << "data folder: " << dataDir.string() << "\n";
    for (const auto& folder : core::dataSearchPath()) out << "searched: " << folder.string() << "\n";

    const auto help = core::findDataFile(kHelpFile);
    const bool helpOk = std::filesystem::is_regular_file(help) && startsWith(help, "%PDF-");
    out << kHelpFile << ": " << help.string() << (helpOk ? "" : " (not found)") << "\n";
    ok = ok && helpOk;

    const auto tables = assembler::findCompilerData();
    const bool normal =
        assembler::LoadCompilerData(tables, core::OperatingMode::Normal).state == 1;
    const bool wif = assembler::LoadCompilerData(tables, core::OperatingMode::Wif).state == 2;
    out << assembler::kCompilerDataFileName << ": " << tables.string()
        << (normal && wif ? "" : " (not found or not valid)") << "\n";
    ok = ok && normal && wif;

    // Told, not judged: without a sound font only the melody player's synthesiser is mute.
    std::string font = "none";
    for (const auto& f : GmSynth::defaultSoundFonts())
        if (std::filesystem::exists(f)) {
            font = f;
            break;
        }
    out << "sound font: " << font << "\n";

    // The window as a user starts it: settings read, tables loaded, then closed, which
    // writes the settings file where user data goes.
    const auto settings = dataDir / core::kSettingsFileName;
    std::error_code ec;
    const auto before = std::filesystem::last_write_time(settings, ec);
    const bool existed = !ec;
    {
        RecordingPrompter prompter;
        TmiraFM miraFM(&prompter, nullptr);
        miraFM.show();
        QCoreApplication::processEvents();
        const int state = miraFM.machine().instructionTableState;
        out << "main window: " << (state == 0 ? "no instruction table" : "started") << "\n";
        ok = ok && state != 0;
        miraFM.close();
        for (const auto& m : prompter.messages) out << "message: " << oneLine(m) << "\n";
        ok = ok && prompter.messages.empty();
    }
    const auto after = std::filesystem::last_write_time(settings, ec);
    const bool saved = !ec && (!existed || after != before);
    out << core::kSettingsFileName << ": " << settings.string() << (saved ? "" : " (not written)")
        << "\n";
    ok = ok && saved;
    out << (ok ? "check: ok" : "check: FAILED") << "\n";
    return ok ? 0 : 1;
}

}  // namespace mira::gui
