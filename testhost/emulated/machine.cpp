#include "machine.h"

#include <unicorn/unicorn.h>

#include <cstdio>
#include <cstdlib>

namespace tesmora::emulated {

namespace {

// Where things lie; every gap between them is unmapped.
constexpr Address kStubs = 0x00010000;  // 16-byte slots; slot 0 is where a call returns to
constexpr std::uint32_t kStubSlots = 512;
constexpr Address kReturnLanding = kStubs;
constexpr Address kData = 0x00020000;
constexpr Address kGdt = 0x000F0000;
constexpr Address kCode = 0x00800000;
constexpr Address kStackLow = 0x00100000;
constexpr Address kStackTop = 0x00200000;

// The thread environment block: its fields that a DLL's start-up code reads.
constexpr std::uint32_t kTebSize = 0x1000;
constexpr std::uint32_t kTebExceptionList = 0x00;
constexpr std::uint32_t kTebStackBase = 0x04;
constexpr std::uint32_t kTebStackLimit = 0x08;
constexpr std::uint32_t kTebSelf = 0x18;
constexpr std::uint32_t kTebProcessId = 0x20;
constexpr std::uint32_t kTebThreadId = 0x24;
constexpr std::uint32_t kTebProcess = 0x30;

constexpr std::uint32_t kDirectionFlagClear = 0x202;  // interrupts enabled, nothing else
constexpr std::uint16_t kFpuStackEmpty = 0xFFFF;

std::uint32_t pageRound(std::uint64_t size) {
    return static_cast<std::uint32_t>((size + kPage - 1) / kPage * kPage);
}

// A flat 32-bit data segment descriptor at ring 0 with the given base.
std::uint64_t dataSegment(std::uint32_t base, std::uint32_t pagesLimit) {
    return (pagesLimit & 0xFFFFu) | (std::uint64_t{base & 0xFFFFFFu} << 16) | (std::uint64_t{0x93} << 40) |
           (std::uint64_t{(pagesLimit >> 16) & 0xFu} << 48) | (std::uint64_t{0xC} << 52) |
           (std::uint64_t{base >> 24} << 56);
}

void onStub(uc_engine* /*uc*/, std::uint64_t address, std::uint32_t /*size*/, void* machine) {
    static_cast<Machine*>(machine)->runStub(static_cast<Address>(address));
}

void onAlignedOperand(uc_engine* /*uc*/, std::uint64_t address, std::uint32_t /*size*/, void* machine) {
    static_cast<Machine*>(machine)->checkOperand(static_cast<Address>(address));
}

std::string accessName(std::uint32_t access) {
    if ((access & kExecutable) != 0) return "code";
    if ((access & kWritable) != 0) return "read-write";
    return (access & kReadable) != 0 ? "read-only" : "no access";
}

bool onBadAccess(uc_engine* /*uc*/, uc_mem_type type, std::uint64_t address, int size, std::int64_t /*value*/,
                 void* context) {
    auto& machine = *static_cast<Machine*>(context);
    const char* kind = "access";
    switch (type) {
        case UC_MEM_READ_UNMAPPED:
        case UC_MEM_READ_PROT: kind = "read"; break;
        case UC_MEM_WRITE_UNMAPPED:
        case UC_MEM_WRITE_PROT: kind = "write"; break;
        case UC_MEM_FETCH_UNMAPPED:
        case UC_MEM_FETCH_PROT: kind = "instruction fetch"; break;
        default: break;
    }
    const auto at = static_cast<Address>(address);
    machine.fail(std::string(kind) + " of " + std::to_string(size) + " bytes at " + hex(at) + " (" +
                 machine.describe(at) + ") by the instruction at " + machine.where(machine.instructionPointer()));
    return false;
}

void onInterrupt(uc_engine* /*uc*/, std::uint32_t number, void* context) {
    auto& machine = *static_cast<Machine*>(context);
    machine.fail("processor exception " + std::to_string(number) + " at " +
                 machine.where(machine.instructionPointer()));
}

void check(uc_err status, const char* what) {
    if (status != UC_ERR_OK) {
        std::fprintf(stderr, "emulated caller: %s: %s\n", what, uc_strerror(status));
        std::abort();
    }
}

}  // namespace

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

Machine::Machine() : nextCode_(kCode), nextData_(kData) {
    check(uc_open(UC_ARCH_X86, UC_MODE_32, &uc_), "starting the processor");
    uc_hook hook;
    check(uc_hook_add(uc_, &hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void*>(onBadAccess), this, 1, 0),
          "watching memory");
    check(uc_hook_add(uc_, &hook, UC_HOOK_INTR, reinterpret_cast<void*>(onInterrupt), this, 1, 0),
          "watching interrupts");
    map(kStubs, kStubSlots * 16, kReadable | kExecutable, "the emulated caller's stubs");
    check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(onStub), this, kStubs,
                      kStubs + kStubSlots * 16 - 1),
          "hooking the stubs");
    const std::uint8_t halt = 0xF4;
    write(kReturnLanding, &halt, 1);
    stubs_.push_back({"the return from a call", nullptr, nullptr});
    map(kStackLow, kStackTop - kStackLow, kReadable | kWritable, "the stack");
    setUpSegments();
    setUpThreadEnvironment();
}

Machine::~Machine() {
    uc_close(uc_);
}

// FS must reach the thread environment block: a descriptor table with a flat
// stack segment and one segment based there.
void Machine::setUpSegments() {
    const std::uint64_t table[] = {0, dataSegment(0, 0xFFFFF), 0};
    map(kGdt, kPage, kReadable, "the descriptor table");
    write(kGdt, table, sizeof table);
    uc_x86_mmr gdtr{};
    gdtr.base = kGdt;
    gdtr.limit = sizeof table - 1;
    check(uc_reg_write(uc_, UC_X86_REG_GDTR, &gdtr), "loading the descriptor table");
    const std::uint32_t stackSegment = 1 << 3;
    check(uc_reg_write(uc_, UC_X86_REG_SS, &stackSegment), "loading SS");
}

void Machine::setUpThreadEnvironment() {
    const Address teb = addData(kTebSize, "the thread environment block");
    threadEnvironment_ = teb;
    const Address peb = addData(kPage, "the process environment block");
    const std::uint32_t fields[][2] = {
        {kTebExceptionList, 0xFFFFFFFFu}, {kTebStackBase, kStackTop}, {kTebStackLimit, kStackLow}, {kTebSelf, teb},
        {kTebProcessId, 0x1234},          {kTebThreadId, 0x5678},     {kTebProcess, peb}};
    for (const auto& [offset, value] : fields) write(teb + offset, &value, 4);
    const std::uint64_t fsSegment = dataSegment(teb, 0);
    write(kGdt + 16, &fsSegment, 8);
    const std::uint32_t selector = 2 << 3;
    check(uc_reg_write(uc_, UC_X86_REG_FS, &selector), "loading FS");
}

Address Machine::threadEnvironment() const {
    return threadEnvironment_;
}

bool Machine::map(Address at, std::uint32_t size, std::uint32_t access, const std::string& what) {
    size = pageRound(size);
    if (uc_mem_map(uc_, at, size, access) != UC_ERR_OK) return false;
    regions_[at] = {size, access, what};
    return true;
}

void Machine::unmap(Address at, std::uint32_t size) {
    uc_mem_unmap(uc_, at, pageRound(size));
    regions_.erase(at);
}

bool Machine::accessible(Address at, std::uint32_t size, std::uint32_t access) const {
    if (size == 0) return true;
    auto region = regions_.upper_bound(at);
    if (region == regions_.begin()) return false;
    --region;
    return std::uint64_t{at} + size <= std::uint64_t{region->first} + region->second.size &&
           (region->second.access & access) == access;
}

bool Machine::read(Address at, void* out, std::uint32_t size) {
    return size == 0 || uc_mem_read(uc_, at, out, size) == UC_ERR_OK;
}

bool Machine::write(Address at, const void* data, std::uint32_t size) {
    return size == 0 || uc_mem_write(uc_, at, data, size) == UC_ERR_OK;
}

std::uint32_t Machine::read32(Address at) {
    std::uint32_t value = 0;
    return read(at, &value, 4) ? value : 0;
}

std::optional<std::string> Machine::text(Address at, std::uint32_t limit) {
    std::string text;
    for (std::uint32_t i = 0; i < limit; ++i) {
        char c = 0;
        if (!accessible(at + i, 1, kReadable) || !read(at + i, &c, 1)) return std::nullopt;
        if (c == 0) return text;
        text += c;
    }
    return std::nullopt;
}

Address Machine::addStub(const std::string& name, std::uint16_t argumentBytes, NativeFunction function, void* context) {
    if (stubs_.size() == kStubSlots) {
        std::fprintf(stderr, "emulated caller: more than %u stubs\n", kStubSlots);
        std::abort();
    }
    const Address slot = kStubs + 16 * static_cast<Address>(stubs_.size());
    // A nop the hook runs the native function at, then the return.
    std::vector<std::uint8_t> code{0x90};
    if (argumentBytes == 0) {
        code.push_back(0xC3);
    } else {
        code.insert(code.end(), {0xC2, static_cast<std::uint8_t>(argumentBytes & 0xFF),
                                 static_cast<std::uint8_t>(argumentBytes >> 8)});
    }
    write(slot, code.data(), static_cast<std::uint32_t>(code.size()));
    stubs_.push_back({name, function, context});
    return slot;
}

void Machine::runStub(Address address) {
    const Address offset = address - kStubs;
    if (offset % 16 != 0 || offset == 0) return;  // the return instruction after the nop, or the landing
    const Stub& stub = stubs_[offset / 16];
    std::uint32_t esp = 0;
    uc_reg_read(uc_, UC_X86_REG_ESP, &esp);
    const std::uint32_t result = stub.function(*this, esp, stub.context);
    uc_reg_write(uc_, UC_X86_REG_EAX, &result);
}

Address Machine::addCode(const std::vector<std::uint8_t>& code) {
    const Address at = nextCode_;
    const std::uint32_t size = pageRound(code.size());
    nextCode_ += size + kPage;
    check(map(at, size, kReadable | kExecutable, "the emulated caller's code") ? UC_ERR_OK : UC_ERR_MAP, "adding code");
    write(at, code.data(), static_cast<std::uint32_t>(code.size()));
    return at;
}

Address Machine::addData(std::uint32_t size, const std::string& what) {
    const Address at = nextData_;
    size = pageRound(size == 0 ? 1 : size);
    nextData_ += size + kPage;
    check(map(at, size, kReadable | kWritable, what) ? UC_ERR_OK : UC_ERR_MAP, "adding data");
    return at;
}

void Machine::nameCode(Address start, std::uint32_t size, const std::string& name) {
    code_[start] = {size, name};
}

void Machine::checkAlignment(const AlignedOperand& operand) {
    checked_[operand.instruction] = operand;
    uc_hook hook;
    check(uc_hook_add(uc_, &hook, UC_HOOK_CODE, reinterpret_cast<void*>(onAlignedOperand), this, operand.instruction,
                      operand.instruction),
          "hooking an aligned operand");
}

void Machine::checkOperand(Address instruction) {
    const auto found = checked_.find(instruction);
    if (found == checked_.end()) return;
    const AlignedOperand& operand = found->second;
    auto value = [&](int id) {
        std::uint32_t v = 0;
        if (id != 0) uc_reg_read(uc_, id, &v);
        return v;
    };
    const Address effective = value(operand.base) + value(operand.index) * operand.scale + operand.displacement;
    if (effective % operand.alignment != 0) {
        fail("misaligned operand: " + operand.text + " at " + where(operand.instruction) + " addresses " +
             hex(effective) + " (" + std::to_string(effective % 16) + " mod 16), which must be " +
             std::to_string(operand.alignment) + "-byte aligned: the processor faults on it");
    }
}

Address Machine::instructionPointer() const {
    std::uint32_t eip = 0;
    uc_reg_read(uc_, UC_X86_REG_EIP, &eip);
    return eip;
}

std::string Machine::where(Address address) const {
    auto code = code_.upper_bound(address);
    if (code != code_.begin()) {
        --code;
        if (address - code->first < code->second.size) {
            return "offset " + hex(address - code->first) + " of " + code->second.name;
        }
    }
    if (address >= kStubs && address < kStubs + stubs_.size() * 16) {
        return stubs_[(address - kStubs) / 16].name;
    }
    return hex(address);
}

std::string Machine::describe(Address address) const {
    auto above = regions_.upper_bound(address);
    if (above != regions_.begin()) {
        const auto& [start, region] = *std::prev(above);
        const std::uint64_t end = std::uint64_t{start} + region.size;
        if (address < end) return "inside " + region.what + ", which is " + accessName(region.access);
        if (address - end < 0x10000) return std::to_string(address - end) + " bytes past the end of " + region.what;
    }
    if (above != regions_.end() && above->first - address <= 0x10000) {
        return std::to_string(above->first - address) + " bytes before " + above->second.what;
    }
    return "nothing is mapped there";
}

testhost::ForeignCall Machine::call(Address function, std::initializer_list<std::uint32_t> arguments,
                                    std::uint32_t stackOffset, std::uint16_t x87Control, std::uint32_t mxcsr) {
    testhost::ForeignCall call = testhost::foreignCallOf(function, arguments, stackOffset, x87Control, mxcsr, ++calls_);

    // The arguments just below the top of the stack, the first at esp as the
    // call instruction runs, esp at the offset asked for.
    call.stackAtCall = kStackTop - 64 + stackOffset;
    write(call.stackAtCall, call.arguments, 4 * call.argumentCount);
    const Address returnAddress = kReturnLanding;
    write(call.stackAtCall - 4, &returnAddress, 4);
    // Unicorn reads as many bytes as the register has: the low ones of these.
    auto set = [this](int id, std::uint32_t value) { uc_reg_write(uc_, id, &value); };
    auto get = [this](int id) {
        std::uint32_t value = 0;
        uc_reg_read(uc_, id, &value);
        return value;
    };
    const int preserved[] = {UC_X86_REG_EBX, UC_X86_REG_ESI, UC_X86_REG_EDI, UC_X86_REG_EBP};
    for (int i = 0; i < 4; ++i) set(preserved[i], call.preserved[i]);
    for (const int scratch : {UC_X86_REG_EAX, UC_X86_REG_ECX, UC_X86_REG_EDX}) set(scratch, 0xCCCCCCCC);
    set(UC_X86_REG_ESP, call.stackAtCall - 4);
    set(UC_X86_REG_EFLAGS, kDirectionFlagClear);
    set(UC_X86_REG_FPSW, 0);
    set(UC_X86_REG_FPTAG, kFpuStackEmpty);
    set(UC_X86_REG_FPCW, x87Control);
    set(UC_X86_REG_MXCSR, mxcsr);

    stopped_ = false;
    const uc_err status = uc_emu_start(uc_, function, kReturnLanding, 0, 0);
    if (status != UC_ERR_OK && !stopped_) {
        fail(std::string("the processor stopped: ") + uc_strerror(status) + " at " + where(instructionPointer()));
    } else if (!stopped_ && instructionPointer() != kReturnLanding) {
        fail("the call did not return: the processor stopped at " + where(instructionPointer()));
    }

    call.result = get(UC_X86_REG_EAX);
    call.stackAfter = get(UC_X86_REG_ESP);
    for (int i = 0; i < 4; ++i) call.preservedAfter[i] = get(preserved[i]);
    call.x87ControlAfter = get(UC_X86_REG_FPCW) & 0xFFFF;
    call.x87TagAfter = get(UC_X86_REG_FPTAG) & 0xFFFF;
    call.mxcsrAfter = get(UC_X86_REG_MXCSR);
    call.flagsAfter = get(UC_X86_REG_EFLAGS);
    return call;
}

void Machine::fail(const std::string& fault) {
    if (stopped_) return;  // the processor runs on to the end of its block: only the first fault is real
    faults_.push_back(fault);
    stopped_ = true;
    uc_emu_stop(uc_);
}

std::vector<std::string> Machine::takeFaults() {
    std::vector<std::string> taken;
    taken.swap(faults_);
    return taken;
}

}  // namespace tesmora::emulated
