#include "aligned_operands.h"

#include <capstone/capstone.h>
#include <unicorn/unicorn.h>

#include <cstring>
#include <set>

namespace tesmora::emulated {

namespace {

// Legacy-SSE instructions with a 16-byte memory operand that may lie
// anywhere; every other one faults when it is not 16-byte aligned.
const std::set<std::string> kUnalignedLegacy = {"movups",    "movupd",    "movdqu",    "lddqu",
                                                "pcmpestri", "pcmpestrm", "pcmpistri", "pcmpistrm"};
// VEX-encoded instructions fault on a misaligned operand only when they say so.
const std::set<std::string> kAlignedVex = {"vmovaps",  "vmovapd",  "vmovdqa",  "vmovntps",
                                           "vmovntpd", "vmovntdq", "vmovntdqa"};
// These need their 512-byte area 16-byte aligned.
const std::set<std::string> kAlignedArea = {"fxsave", "fxrstor"};

int unicornRegister(x86_reg reg) {
    switch (reg) {
        case X86_REG_EAX: return UC_X86_REG_EAX;
        case X86_REG_EBX: return UC_X86_REG_EBX;
        case X86_REG_ECX: return UC_X86_REG_ECX;
        case X86_REG_EDX: return UC_X86_REG_EDX;
        case X86_REG_ESI: return UC_X86_REG_ESI;
        case X86_REG_EDI: return UC_X86_REG_EDI;
        case X86_REG_EBP: return UC_X86_REG_EBP;
        case X86_REG_ESP: return UC_X86_REG_ESP;
        default: return 0;
    }
}

// The alignment the instruction's memory operand needs; 0 for none.
std::uint32_t requiredAlignment(const std::string& mnemonic, const cs_x86_op& memory) {
    if (kAlignedArea.count(mnemonic) != 0) return 16;
    if (mnemonic[0] == 'v') return kAlignedVex.count(mnemonic) != 0 ? memory.size : 0;
    return memory.size == 16 && kUnalignedLegacy.count(mnemonic) == 0 ? 16 : 0;
}

}  // namespace

bool findAlignedOperands(const std::uint8_t* code, std::size_t size, Address address,
                         std::vector<AlignedOperand>& found, std::string& error) {
    csh handle = 0;
    if (cs_open(CS_ARCH_X86, CS_MODE_32, &handle) != CS_ERR_OK) {
        error = "the disassembler does not start";
        return false;
    }
    cs_option(handle, CS_OPT_DETAIL, CS_OPT_ON);
    cs_option(handle, CS_OPT_SKIPDATA, CS_OPT_ON);  // padding and jump tables are passed over
    cs_insn* instruction = cs_malloc(handle);
    std::uint64_t at = address;
    while (cs_disasm_iter(handle, &code, &size, &at, instruction)) {
        if (instruction->detail == nullptr) continue;
        const cs_x86& x86 = instruction->detail->x86;
        for (std::uint8_t i = 0; i < x86.op_count; ++i) {
            const cs_x86_op& operand = x86.operands[i];
            if (operand.type != X86_OP_MEM) continue;
            const std::uint32_t alignment = requiredAlignment(instruction->mnemonic, operand);
            if (alignment == 0) continue;
            AlignedOperand aligned;
            aligned.instruction = static_cast<Address>(instruction->address);
            aligned.text = std::string(instruction->mnemonic) + " " + instruction->op_str;
            aligned.base = unicornRegister(operand.mem.base);
            aligned.index = unicornRegister(operand.mem.index);
            aligned.scale = static_cast<std::uint32_t>(operand.mem.scale);
            aligned.displacement = static_cast<std::uint32_t>(operand.mem.disp);
            aligned.alignment = alignment;
            found.push_back(aligned);
        }
    }
    cs_free(instruction, 1);
    cs_close(&handle);
    return true;
}

}  // namespace tesmora::emulated
