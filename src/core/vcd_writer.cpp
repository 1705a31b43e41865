#include "vcd_writer.h"

#include <charconv>

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
        buf_ += v.none ? 'z' : static_cast<char>('0' + (v.bits & 1));
    } else {
        buf_ += 'b';
        if (v.none) {
            buf_ += 'z';
        } else {
            int top = width - 1;
            while (top > 0 && !((v.bits >> top) & 1)) --top;
            for (int b = top; b >= 0; --b) buf_ += static_cast<char>('0' + ((v.bits >> b) & 1));
        }
        buf_ += ' ';
    }
    buf_ += ids_[i];
    buf_ += '\n';
}

void VcdWriter::writeTime(uint64_t n) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    buf_ += '#';
    buf_.append(digits, end);
    buf_ += '\n';
}

void VcdWriter::write(const SignalRecorder& r) {
    // Reading the recorder first decodes what it holds, which may stream states out
    // through its onFull and so move next_.
    if (!r.size()) return;
    if (!started_) next_ = r.begin();
    // States lost from the ring before they were written are skipped.
    uint64_t n = std::max(next_, r.begin());
    // Text is gathered and written in large pieces: a stream's per-character calls cost
    // more than making the text.
    constexpr std::size_t kFlushBytes = 1 << 16;
    for (; n < r.end(); ++n) {
        const SignalSample& s = r.at(n);
        if (!started_) {
            writeHeader();
            writeTime(n);
            buf_ += "$dumpvars\n";
            for (std::size_t i = 0; i < signals_.size(); ++i) {
                last_[i] = signalValue(signals_[i], r, n);
                writeValue(i, last_[i]);
            }
            buf_ += "$end\n";
            started_ = true;
            ++written_;
            previous_ = s;
            previousAt_ = n;
            continue;
        }
        // A signal whose source did not move since the state before keeps its value.
        const bool follows = previousAt_ + 1 == n;
        bool stamped = false;
        for (std::size_t i = 0; i < signals_.size(); ++i) {
            if (follows && sameSource(signals_[i], s, previous_)) continue;
            const SignalValue v = signalValue(signals_[i], r, n);
            if (v == last_[i]) continue;
            if (!stamped) {
                writeTime(n);
                stamped = true;
            }
            last_[i] = v;
            writeValue(i, v);
        }
        ++written_;
        previous_ = s;
        previousAt_ = n;
        if (buf_.size() >= kFlushBytes) flush();
    }
    next_ = n;
    flush();
}

void VcdWriter::flush() {
    out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
    buf_.clear();
}

void VcdWriter::finish() {
    if (!started_) {
        writeHeader();
    } else {
        writeTime(next_);
        flush();
    }
    out_.flush();
}

}  // namespace mira::core
