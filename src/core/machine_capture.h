// The machine's own state (registers, memories, panel, cycle bookkeeping, WIF state, lamp
// latch, device slot lines) and the code trace as bytes, for the history. Module logic is
// not part of it.
#pragma once

#include <cstdint>
#include <vector>

namespace mira::core {

class Machine;
class CodeTrace;

std::vector<uint8_t> captureMachine(const Machine& m, const CodeTrace* trace = nullptr);
// Bytes from captureMachine of the same build, with the same trace argument.
void restoreMachine(Machine& m, const std::vector<uint8_t>& bytes, CodeTrace* trace = nullptr);

}  // namespace mira::core
