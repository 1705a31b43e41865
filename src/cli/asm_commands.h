// The assembler's CLI commands: asm (listing or word file), disasm (word file to text),
// and the assemble-and-transfer step that `run` uses for .asm programs.
#pragma once

#include <iosfwd>
#include <string>

#include "commands.h"
#include "core/machine.h"
#include "core/prompter.h"

namespace mira::cli {

int asmCommand(const Args& args, std::ostream& out, std::ostream& err);
int disasmCommand(const Args& args, std::ostream& out, std::ostream& err);

// Assembles `asmFile` for the machine's mode and options and transfers it to memory.
// Queries get `answer`. Returns kExitOk, or kExitBadInput after printing
// "FILE:LINE: MESSAGE" (or "FILE: MESSAGE") to `err`. `uploadLength`, when given, gets
// how many words the board link sends of it with "upload only assembled code".
int assembleAndTransfer(core::Machine& m, const std::string& asmFile,
                        const std::string& compilerDataOverride, core::Answer answer,
                        std::ostream& err, int* uploadLength = nullptr);

}  // namespace mira::cli
