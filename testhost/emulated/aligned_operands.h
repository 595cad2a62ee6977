// The instructions of a stretch of 32-bit code whose memory operand the
// processor requires to be aligned, found by disassembling it (Capstone).
// QEMU, under Unicorn, does not fault on a misaligned one as the processor
// does, so the emulated caller checks each of them as it runs.
#ifndef TESMORA_TESTHOST_EMULATED_ALIGNED_OPERANDS_H
#define TESMORA_TESTHOST_EMULATED_ALIGNED_OPERANDS_H

#include <cstdint>
#include <string>
#include <vector>

#include "machine.h"

namespace tesmora::emulated {

// Every such instruction in code, which lies at address. On failure of the
// disassembler returns false and says why in error.
bool findAlignedOperands(const std::uint8_t* code, std::size_t size, Address address,
                         std::vector<AlignedOperand>& found, std::string& error);

}  // namespace tesmora::emulated

#endif
