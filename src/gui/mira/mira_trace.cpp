// The code trace as the user sees it: its lines, the trace window behind "Code Trace" →
// "View", and the trace file "dftrfl.dat" kept between runs while tracing is on.
#include "assembler/formatters.h"
#include "core/code_trace.h"
#include "core/data_dir.h"
#include "core/scrambled_file.h"
#include "mira/mira.h"
#include "views/trace.h"

namespace mira::gui {

std::string TmiraFM::traceSource(int32_t address) const {
    // The statement the last assembly made of the word, as it was written.
    return assembler_.sourceText(address);
}

std::string TmiraFM::traceLine(int32_t address) const {
    const std::string shown =
        m_.isWif() ? core::wifTraceAddress(address)
                   : assembler::FormatRadix(address, m_.options.radix[0], false);
    return shown + '\t' + traceSource(address);
}

std::vector<std::string> TmiraFM::traceLines() const {
    return rc_.trace.lines([this](int32_t address) { return traceLine(address); });
}

void TmiraFM::CodeTraceViewClick() {
    TtraceFM traceFM(
        traceLines(),
        [this] {
            rc_.trace.clear();
            m_.observer().traceChanged();
        },
        *prompter_, this);
    traceFM.exec();
}

void TmiraFM::LoadTraceFile() {
    // Only the newest lines fit the trace; a huge file is not split whole first.
    const core::ContainerRead read = core::readContainerFile(
        core::dataFile(kTraceFileName), core::CodeTrace::kCapacity);
    if (!read.ok) return;  // a missing trace file is an empty trace
    rc_.trace.clear();
    for (const std::string& line : read.lines) rc_.trace.addLine(line);
    m_.observer().traceChanged();
}

bool TmiraFM::SaveTraceFile() {
    return core::writeContainerFile(core::dataFile(kTraceFileName), traceLines());
}

}  // namespace mira::gui
