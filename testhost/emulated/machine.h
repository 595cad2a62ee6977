// A 32-bit x86 processor in software (Unicorn), with the memory and thread
// environment a 32-bit Windows DLL expects: a stack with no page beyond it, a
// thread environment block reached through FS, and nothing mapped that was
// not asked for, so that every stray access is a fault naming its address and
// the instruction that made it. Guest functions may be native stand-ins
// (stubs), and calls are made as a foreign 32-bit caller makes them, with
// what the callee left reported for the convention checks.
//
// The guest's addresses, with nothing mapped between what is listed:
//   0x00010000  stubs (machine.cpp)          0x00300000  the host's records (emulated_binding.cpp)
//   0x00020000  data: TEB, PEB, TLS, _iob    0x00400000  the C runtime's heap (system_imports.cpp)
//   0x000F0000  the descriptor table         0x00800000  added code (_initterm, tests)
//   0x00100000  the stack, 1 MiB             0x10000000  the DLL, away from its preferred base (dll_loader.cpp)
//   0x20000000 to 0xF0000000: GlobalAlloc blocks, each between unmapped pages (system_imports.cpp)
#ifndef TESMORA_TESTHOST_EMULATED_MACHINE_H
#define TESMORA_TESTHOST_EMULATED_MACHINE_H

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foreign_call.h"

struct uc_struct;

namespace tesmora::emulated {

using Address = std::uint32_t;

constexpr std::uint32_t kPage = 0x1000;

// Page access, as Unicorn numbers it.
enum Access : std::uint32_t { kReadable = 1, kWritable = 2, kExecutable = 4 };

class Machine;

// An address as messages show it: 0x001FFC54.
std::string hex(std::uint32_t value);

// A native stand-in for a guest function. At entry esp points at the return
// address and the first argument lies at esp + 4; the answer goes to eax.
using NativeFunction = std::uint32_t (*)(Machine& machine, Address esp, void* context);

// An instruction whose memory operand the processor requires to be aligned
// (movaps, movdqa, the legacy-SSE arithmetic on m128, ...), with what it takes
// to compute the operand's address.
struct AlignedOperand {
    Address instruction = 0;
    std::string text;  // "paddw xmm0, xmmword ptr [edi + 0x70]"
    int base = 0;      // Unicorn register ids; 0 for none
    int index = 0;
    std::uint32_t scale = 1;
    std::uint32_t displacement = 0;
    std::uint32_t alignment = 16;
};

class Machine {
public:
    Machine();
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Memory, in whole pages; what names the region in fault messages.
    bool map(Address at, std::uint32_t size, std::uint32_t access, const std::string& what);
    void unmap(Address at, std::uint32_t size);
    // Whether [at, at + size) lies in mapped memory with the given access.
    bool accessible(Address at, std::uint32_t size, std::uint32_t access) const;
    bool read(Address at, void* out, std::uint32_t size);
    bool write(Address at, const void* data, std::uint32_t size);
    std::uint32_t read32(Address at);  // 0 where nothing is mapped
    // The 32-bit argument `index` (from 0) of a stub called with esp.
    std::uint32_t argument(Address esp, int index) { return read32(esp + 4 + 4 * index); }
    // A NUL-terminated text of at most limit bytes; none when it is not all readable.
    std::optional<std::string> text(Address at, std::uint32_t limit = 4096);

    // A guest function that runs function natively and then returns as a
    // stdcall function popping argumentBytes (0: the caller pops, cdecl).
    Address addStub(const std::string& name, std::uint16_t argumentBytes, NativeFunction function, void* context);
    // Guest code given as bytes, or a zeroed data area; never freed.
    Address addCode(const std::vector<std::uint8_t>& code);
    Address addData(std::uint32_t size, const std::string& what);
    // Code to be named in messages by its offset ("offset 0x1234 of tesmora.xfm").
    void nameCode(Address start, std::uint32_t size, const std::string& name);
    // Each execution of the instruction checks its operand's alignment.
    void checkAlignment(const AlignedOperand& operand);

    // The thread environment block, which FS points at.
    Address threadEnvironment() const;

    // Calls the stdcall function as a foreign caller does (see foreign_call.h)
    // and answers what the callee left behind.
    testhost::ForeignCall call(Address function, std::initializer_list<std::uint32_t> arguments,
                               std::uint32_t stackOffset, std::uint16_t x87Control, std::uint32_t mxcsr);

    // Records a fault and stops the processor at once, as the hardware or
    // Windows would have stopped the program.
    void fail(const std::string& fault);
    // The faults since the last look, one line each.
    std::vector<std::string> takeFaults();
    // The code at address, for messages.
    std::string where(Address address) const;
    // The memory at address, for messages: the region it lies in or near.
    std::string describe(Address address) const;

    // For the processor's hooks only.
    void runStub(Address address);
    void checkOperand(Address instruction);
    Address instructionPointer() const;

private:
    struct Stub {
        std::string name;
        NativeFunction function;
        void* context;
    };
    struct Region {
        std::uint32_t size;
        std::uint32_t access;
        std::string what;
    };
    struct NamedCode {
        std::uint32_t size;
        std::string name;
    };

    void setUpSegments();
    void setUpThreadEnvironment();

    uc_struct* uc_ = nullptr;
    std::map<Address, Region> regions_;
    std::map<Address, NamedCode> code_;
    std::vector<Stub> stubs_;
    std::map<Address, AlignedOperand> checked_;  // by the instruction's address
    Address nextCode_;
    Address nextData_;
    Address threadEnvironment_ = 0;
    std::vector<std::string> faults_;
    bool stopped_ = false;
    std::uint32_t calls_ = 0;
};

}  // namespace tesmora::emulated

#endif
