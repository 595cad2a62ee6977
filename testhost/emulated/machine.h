// A 32-bit x86 processor in software (Unicorn), with the memory and thread
// environment a 32-bit Windows DLL expects: a stack with no page beyond it, a
// thread environment block reached through FS, and nothing mapped that was
// not asked for, so that every stray access is a fault naming its address and
// the instruction that made it. Guest functions may be native stand-ins
// (stubs), and calls are made as a foreign 32-bit caller makes them, with
// what the callee left reported for the convention checks.
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

// Native work done before the guest reads memory served this way; it may
// write what the guest is to read.
using Supplier = void (*)(Machine& machine, Address at, void* context);

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
    bool protect(Address at, std::uint32_t size, std::uint32_t access);
    // The mapped region at holds, with its start, size and access; false where nothing is mapped.
    bool regionAt(Address at, Address& start, std::uint32_t& size, std::uint32_t& access) const;
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
    // Native work when the guest reads [at, at + size): supply may write there
    // first. The guest may not write there.
    void serveReads(Address at, std::uint32_t size, Supplier supply, void* context);
    // Code to be named in messages by its offset ("offset 0x1234 of tesmora.xfm").
    void nameCode(Address start, std::uint32_t size, const std::string& name);
    // Each execution of the instruction checks its operand's alignment.
    void checkAlignment(const AlignedOperand& operand);

    // The thread environment block (FS points at it) and its TLS slots.
    Address threadEnvironment() const;
    void setLastError(std::uint32_t error);

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
    void serve(Address address);
    Address instructionPointer() const;

private:
    struct Stub {
        std::string name;
        NativeFunction function;
        void* context;
    };
    struct Served {
        std::uint32_t size;
        Supplier supply;
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
    std::map<Address, Served> served_;           // by the first address served
    Address nextCode_;
    Address nextData_;
    Address threadEnvironment_ = 0;
    std::vector<std::string> faults_;
    bool stopped_ = false;
    std::uint32_t calls_ = 0;
};

}  // namespace tesmora::emulated

#endif
