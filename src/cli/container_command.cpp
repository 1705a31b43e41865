#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "core/file_read.h"
#include "core/scrambled_file.h"

namespace mira::cli {

int containerCommand(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 2 && args[0] == "decode") {
        const auto r = core::readContainerFile(args[1]);
        if (!r.ok) {
            err << args[1] << ": " << core::containerErrorText(r.error) << "\n";
            return kExitBadInput;
        }
        for (const auto& line : r.lines) out << line << "\n";
        return kExitOk;
    }
    if (args.size() == 3 && args[0] == "encode") {
        const core::FileRead file = core::readWholeFile(args[1]);
        if (!file.ok) {
            err << args[1] << ": " << core::fileReadErrorText(file.error) << "\n";
            return kExitBadInput;
        }
        const std::vector<std::string> lines = core::textLines(file.bytes);
        if (!core::writeContainerFile(args[2], lines)) {
            err << args[2] << ": cannot write the file\n";
            return kExitBadInput;
        }
        return kExitOk;
    }
    err << "usage: mira8-cli container decode FILE | container encode IN OUT\n";
    return kExitUsage;
}

}  // namespace mira::cli
