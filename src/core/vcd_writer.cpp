#include "vcd_writer.h"

namespace mira::core {

namespace {
// Identifier codes are printable characters '!'..'~', base 94.
std::string idCode(std::size_t i) {
    std::string s;
    do {
        s += static_cast<char>('!' + i % 94);
        i /= 94;
    } while (i);
    return s;
}
}  // namespace

VcdWriter::VcdWriter(std::ostream& out, std::vector<SignalDef> signals, std::string version)
    : out_(out), signals_(std::move(signals)), last_(signals_.size()), version_(std::move(version)) {
    for (std::size_t i = 0; i < signals_.size(); ++i) ids_.push_back(idCode(i));
}

void VcdWriter::writeHeader() {
    out_ << "$version " << version_ << " $end\n"
         << "$comment one time unit is one clock state $end\n"
         << "$timescale 1us $end\n";
    // Signals of a scope stay together in the order they first appear.
    std::vector<std::string> scopes;
    for (const SignalDef& d : signals_) {
        bool known = false;
        for (const std::string& s : scopes) known = known || s == d.scope;
        if (!known) scopes.push_back(d.scope);
    }
    for (const std::string& scope : scopes) {
        out_ << "$scope module " << scope << " $end\n";
        for (std::size_t i = 0; i < signals_.size(); ++i) {
            const SignalDef& d = signals_[i];
            if (d.scope != scope) continue;
            out_ << "$var wire " << d.width << ' ' << ids_[i] << ' ' << d.name;
            if (d.width > 1) out_ << " [" << d.width - 1 << ":0]";
            out_ << " $end\n";
        }
        out_ << "$upscope $end\n";
    }
    out_ << "$enddefinitions $end\n";
}

void VcdWriter::writeValue(std::size_t i, const SignalValue& v) {
    const int width = signals_[i].width;
    if (width == 1) {
        out_ << (v.none ? 'z' : static_cast<char>('0' + (v.bits & 1))) << ids_[i] << '\n';
        return;
    }
    out_ << 'b';
    if (v.none) {
        out_ << 'z';
    } else {
        int top = width - 1;
        while (top > 0 && !((v.bits >> top) & 1)) --top;
        for (int b = top; b >= 0; --b) out_ << static_cast<char>('0' + ((v.bits >> b) & 1));
    }
    out_ << ' ' << ids_[i] << '\n';
}

void VcdWriter::write(const SignalRecorder& r) {
    // Reading the recorder first decodes what it holds, which may stream states out
    // through its onFull and so move next_.
    if (!r.size()) return;
    if (!started_) next_ = r.begin();
    // States lost from the ring before they were written are skipped.
    uint64_t n = std::max(next_, r.begin());
    for (; n < r.end(); ++n) {
        if (!started_) {
            writeHeader();
            out_ << '#' << n << "\n$dumpvars\n";
            for (std::size_t i = 0; i < signals_.size(); ++i) {
                last_[i] = signalValue(signals_[i], r, n);
                writeValue(i, last_[i]);
            }
            out_ << "$end\n";
            started_ = true;
            ++written_;
            continue;
        }
        bool stamped = false;
        for (std::size_t i = 0; i < signals_.size(); ++i) {
            const SignalValue v = signalValue(signals_[i], r, n);
            if (v == last_[i]) continue;
            if (!stamped) {
                out_ << '#' << n << '\n';
                stamped = true;
            }
            last_[i] = v;
            writeValue(i, v);
        }
        ++written_;
    }
    next_ = n;
}

void VcdWriter::finish() {
    if (!started_) writeHeader();
    else out_ << '#' << next_ << '\n';
    out_.flush();
}

}  // namespace mira::core
