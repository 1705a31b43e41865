// Value Change Dump export of recorded signals: one time unit of 1 us per clock state,
// a scope per unit (cpu, panel, devices, modules), buses as vectors. Written in pieces, so a
// long run streams out through a small ring.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "signal_recorder.h"

namespace mira::core {

class VcdWriter {
public:
    VcdWriter(std::ostream& out, std::vector<SignalDef> signals, std::string version = "mira8");

    // The changes of the states held in `r` that were not written yet. The first call
    // writes the header and every signal's value at the first state.
    void write(const SignalRecorder& r);
    // Closes the dump with the time after the last state written.
    void finish();
    uint64_t statesWritten() const { return written_; }

private:
    void writeHeader();
    void writeValue(std::size_t i, const SignalValue& v);
    void writeTime(uint64_t n);
    void flush();

    std::ostream& out_;
    std::vector<SignalDef> signals_;
    std::vector<std::string> ids_;
    std::vector<SignalValue> last_;
    std::string version_;
    bool started_ = false;
    uint64_t next_ = 0;     // the next state to write
    uint64_t written_ = 0;  // states written
    std::string buf_;       // text not yet written
    SignalSample previous_{};
    uint64_t previousAt_ = UINT64_MAX;  // the state previous_ holds
};

}  // namespace mira::core
