// libFuzzer target over the small data files and the window state strings of the settings
// file. Byte 0 picks the reader; the rest is its input, as a stored (scrambled) file and as
// already decoded text. Each reader must keep its own rules (sizes, ranges) and read back
// what it writes.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "assembler/recent_files.h"
#include "core/code_trace.h"
#include "core/eeprom_file.h"
#include "core/field_list.h"
#include "core/machine.h"
#include "core/panel.h"
#include "core/prompter.h"
#include "core/run_control.h"
#include "core/scrambled_file.h"
#include "core/settings_file.h"
#include "core/sound.h"
#include "core/timer.h"
#include "devices/led_display.h"
#include "devices/mag_tape.h"
#include "devices/melody_player.h"
#include "devices/printer.h"
#include "devices/tape_reader.h"

namespace {

using namespace mira;

#define REQUIRE(cond)                                                   \
    do {                                                                \
        if (!(cond)) {                                                  \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            __builtin_trap();                                           \
        }                                                               \
    } while (0)

class SilentPrompter final : public core::Prompter {
public:
    void info(const std::string&) override {}
    void error(const std::string&) override {}
    bool askYesNo(const std::string&) override { return false; }
    core::Answer askYesNoCancel(const std::string&) override { return core::Answer::Cancel; }
};

void eepromFile(const std::vector<std::string>& lines) {
    std::array<uint8_t, core::kEepromSize> cells;
    cells.fill(7);
    const bool applied = core::applyEepromLines(lines, cells);
    REQUIRE(applied == (lines.size() == static_cast<size_t>(core::kEepromSize)));
    if (!applied) {
        REQUIRE(std::all_of(cells.begin(), cells.end(), [](uint8_t v) { return v == 7; }));
        return;
    }
    std::array<uint8_t, core::kEepromSize> again{};
    REQUIRE(core::applyEepromLines(core::eepromLines(cells), again));
    REQUIRE(again == cells);
}

void codeTraceFile(const std::vector<std::string>& lines) {
    core::CodeTrace trace;
    trace.add(12);  // a recorded entry before the file's lines, as after a run
    for (const auto& line : lines) trace.addLine(line);
    const size_t expected = std::min<size_t>(lines.size() + 1, core::CodeTrace::kCapacity);
    REQUIRE(static_cast<size_t>(trace.size()) == expected);
    const auto shown = trace.lines([](int32_t a) { return core::wifTraceAddress(a); });
    REQUIRE(shown.size() == expected);
    // The newest lines are the file's last ones, in order.
    const size_t fromFile = std::min(lines.size(), expected);
    for (size_t i = 0; i < fromFile; ++i)
        REQUIRE(shown[shown.size() - fromFile + i] == lines[lines.size() - fromFile + i]);
}

void recentFiles(const std::vector<std::string>& lines) {
    assembler::RecentFiles recent([](const std::string&) { return true; });
    recent.fromLines(lines);
    REQUIRE(recent.paths().size() <= static_cast<size_t>(assembler::kRecentFilesMax));
    assembler::RecentFiles again([](const std::string&) { return true; });
    again.fromLines(recent.toLines());
    REQUIRE(again.paths() == recent.paths());
    for (const auto& p : recent.paths()) (void)assembler::RecentFiles::caption(p);
    if (!lines.empty()) {
        recent.add(lines.front());
        REQUIRE(recent.paths().size() <= static_cast<size_t>(assembler::kRecentFilesMax));
    }
}

// A file the state string's file name field is pointed at, so the loaders that a restored
// state starts read the fuzzer's bytes instead of whatever a path names on this machine.
const std::string& scratchFile() {
    static const std::string path =
        "/tmp/mira8-data-files-fuzz-" + std::to_string(getpid()) + ".dat";
    return path;
}

// Selector bit 7: the bytes are the file's lines, stored as the emulator stores them (else
// the raw bytes are the file). Bit 6: missing lines up to `fullLines` are blank cells, so
// a short input still makes a whole cassette.
void writeScratch(std::string_view bytes, uint8_t selector, size_t fullLines) {
    std::string contents(bytes);
    if (selector & 0x80) {
        auto lines = core::textLines(bytes);
        if (selector & 0x40)
            while (lines.size() < fullLines) lines.emplace_back("256");
        contents = core::encodeContainer(lines);
    }
    std::ofstream f(scratchFile(), std::ios::binary | std::ios::trunc);
    f.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

// Every window state string the settings file restores, through each Qt-free parser.
void windowState(const std::string& state, std::string_view fileBytes, uint8_t selector) {
    for (const auto& screen : {std::array<int, 2>{1920, 1080}, std::array<int, 2>{0, 0},
                               std::array<int, 2>{30, 2000}}) {
        const auto at = core::windowPositionFromState(state, screen[0], screen[1]);
        REQUIRE(at.left == 0 || (at.left > 0 && at.left <= screen[0] - 40));
        REQUIRE(at.top == 0 || (at.top > 0 && at.top <= screen[1] - 40));
    }
    // The views' own fields (heights, widths) read as numbers within their ranges.
    for (int field = 2; field < 6; ++field) {
        const int h = core::parseIntInRange(core::fieldAt(state, field), 100, 900, -1);
        REQUIRE(h == -1 || (h >= 100 && h <= 900));
    }

    core::Machine machine;
    core::VirtualClock clock;
    machine.attachTimers(clock);
    core::SoundEffects sounds;
    SilentPrompter prompter;

    for (auto kind : {devices::LedKind::Octal, devices::LedKind::Decimal}) {
        devices::LedDisplay led(kind, machine.bus, clock, prompter);
        led.applyState(state);
        REQUIRE(led.readyDelay() >= devices::LedDisplay::kMinReadyDelay &&
                led.readyDelay() <= devices::LedDisplay::kMaxRestoredReadyDelay);
        (void)led.cells();
        (void)led.labelText();
        const std::string saved = led.stateString(1, 2);
        devices::LedDisplay back(kind, machine.bus, clock, prompter);
        back.applyState(saved);
        REQUIRE(back.stateString(1, 2) == saved);
    }
    {
        int noteDelay = 100;
        devices::MelodyPlayer player(machine.bus, clock, noteDelay, nullptr);
        player.applyState(state);
        REQUIRE(player.voice() >= 0 && player.voice() <= 127);
        devices::MelodyPlayer back(machine.bus, clock, noteDelay, nullptr);
        back.applyState(player.stateString(0, 0));
        REQUIRE(back.voice() == player.voice());
    }
    {
        core::RunControl rc(machine);
        core::FrontPanel panel(machine, rc, clock, sounds);
        devices::TapeReader reader(machine, panel, clock, sounds, prompter);
        reader.applyState(state);
        REQUIRE(reader.fileName() == core::fieldAt(state, 2));
    }

    // The printer and the cassette recorder load the file their state names.
    if (core::fieldAt(state, 2).empty()) return;
    core::FieldListBuilder pointed;
    pointed.add(core::fieldAt(state, 0)).add(core::fieldAt(state, 1)).add(scratchFile());
    pointed.add(core::fieldAt(state, 3));
    {
        writeScratch(fileBytes, selector, 0);
        devices::Printer printer(machine.bus, clock, prompter, sounds);
        printer.applyState(pointed.str());
        REQUIRE(printer.rollFileName().empty() || printer.rollFileName() == scratchFile());
        (void)printer.paperLayout();
    }
    {
        writeScratch(fileBytes, selector, devices::kMagFileLines);
        devices::MagTape mag(machine.bus, clock, sounds, prompter);
        mag.applyState(pointed.str());
        REQUIRE(mag.fileName().empty() || mag.fileName() == scratchFile());
        (void)mag.stateString(0, 0);
    }
    // libFuzzer ends without running exit handlers; leave nothing behind in /tmp.
    std::remove(scratchFile().c_str());
}

// Line 020 and the plan of windows it reopens.
void openWindowsLine(const std::string& line) {
    const auto open = core::OpenWindows::parse(line);
    const std::string saved = open.format();
    REQUIRE(core::OpenWindows::parse(saved).format() == saved);
    for (const auto& step : core::reopenPlan(open)) {
        REQUIRE(step.slot >= -1 && step.slot < core::kSlotCount);
        REQUIRE(step.outputSlot >= -1 && step.outputSlot < core::kSlotCount);
    }
}

// A whole settings file, then every window line it holds through the state parsers.
void settingsWindowLines(const std::vector<std::string>& lines, std::string_view fileBytes,
                         uint8_t selector) {
    core::SettingsFile file;
    core::MainSettings settings;
    file.apply(lines, settings, 1024, 768);
    for (int key = 0; key <= core::kSettingsLineCount; ++key) {
        if (!core::isWindowStateKey(key)) continue;
        const std::string& state = file.windowLine(key);
        if (!state.empty()) windowState(state, fileBytes, selector);
    }
    openWindowsLine(file.openWindows.format());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t selector = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto stored = core::decodeContainer(bytes);
    const auto plain = core::textLines(bytes);

    switch (selector % 6) {
        case 0:
            for (const auto* lines : {&stored.lines, &plain}) eepromFile(*lines);
            break;
        case 1:
            for (const auto* lines : {&stored.lines, &plain}) codeTraceFile(*lines);
            break;
        case 2:
            for (const auto* lines : {&stored.lines, &plain}) recentFiles(*lines);
            break;
        case 3: {
            // The first line is the state; what follows is the file its name field points at.
            const size_t end = bytes.find('\n');
            const std::string state(bytes.substr(0, end));
            const std::string_view rest = end == std::string_view::npos ? std::string_view{}
                                                                         : bytes.substr(end + 1);
            windowState(state, rest, selector);
            break;
        }
        case 4:
            openWindowsLine(std::string(bytes));
            break;
        case 5:
            settingsWindowLines(plain, {}, selector);
            break;
    }
    return 0;
}
