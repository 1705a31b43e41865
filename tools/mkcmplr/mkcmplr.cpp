// mira8-mkcmplr: builds the compiler data file "cmplr.dat" from the human-readable
// instruction tables in data/, so the scrambled file is never edited by hand.
//   mira8-mkcmplr OUT.dat NORMAL-TABLE.txt WIF-TABLE.txt
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "assembler/instruction_table.h"
#include "core/scrambled_file.h"

namespace {

bool compile(const char* path, mira::core::OperatingMode mode, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << path << ": cannot read\n";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const auto r = mira::assembler::compileTableSource(text.str(), mode);
    if (!r.ok) {
        std::cerr << path << ":" << r.errorLine << ": " << r.error << "\n";
        return false;
    }
    lines.insert(lines.end(), r.lines.begin(), r.lines.end());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: mira8-mkcmplr OUT.dat NORMAL-TABLE.txt WIF-TABLE.txt\n";
        return 2;
    }
    std::vector<std::string> lines;
    if (!compile(argv[2], mira::core::OperatingMode::Normal, lines)) return 1;
    if (!compile(argv[3], mira::core::OperatingMode::Wif, lines)) return 1;
    if (!mira::core::writeContainerFile(argv[1], lines)) {
        std::cerr << argv[1] << ": cannot write\n";
        return 1;
    }
    return 0;
}
