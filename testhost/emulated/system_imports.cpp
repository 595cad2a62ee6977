#include "system_imports.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "recorded_calls.h"

namespace tesmora::emulated {

namespace {

constexpr Address kBlocks = 0x20000000;  // GlobalAlloc blocks, each between unmapped pages
constexpr Address kBlocksEnd = 0xF0000000;
constexpr Address kRuntimeHeap = 0x00400000;
constexpr std::uint32_t kRuntimeHeapSize = 0x00100000;
constexpr std::uint32_t kMsvcrtFileSize = 32;  // msvcrt's FILE, three of them in _iob

SystemImports& self(void* context) {
    return *static_cast<SystemImports*>(context);
}

const void* key(Address block) {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(block));
}

// The critical sections of one thread, and the C runtime's locks.
std::uint32_t nothing(Machine& /*m*/, Address /*esp*/, void* /*c*/) {
    return 0;
}

// GetModuleHandleA: no other module is loaded (the start-up code asks for
// libgcc's DLL, which a static build does without).
std::uint32_t notLoaded(Machine& /*m*/, Address /*esp*/, void* /*c*/) {
    return 0;
}

// What the DLL imports but calls only on a path Windows takes when something
// went wrong (a runtime error, abort, a message on stderr) or that a static
// build never takes (loading libgcc's DLL, pseudo-relocations, thread
// storage of winpthreads): a call is a fault naming it.
std::uint32_t unexpected(Machine& m, Address /*esp*/, void* name) {
    m.fail(std::string(static_cast<const char*>(name)) + " was called: a path the emulated caller does not serve " +
           "(an error of the C runtime, or a DLL it does not load)");
    return 0;
}

std::uint32_t globalAlloc(Machine& m, Address esp, void* c) {
    const std::uint32_t byteCount = m.argument(esp, 1);
    if (!testhost::recordAllocation(m.argument(esp, 0), byteCount)) return 0;
    const Address block = self(c).allocateBlock(byteCount);
    if (block != 0) testhost::recordServed(key(block), byteCount);
    return block;
}

std::uint32_t globalFree(Machine& m, Address esp, void* c) {
    const Address block = m.argument(esp, 0);
    if (!testhost::recordRelease(key(block))) return block;
    self(c).releaseBlock(block);
    return 0;
}

std::uint32_t copyText(Machine& m, Address esp, void* /*c*/) {
    const Address destination = m.argument(esp, 0);
    const std::optional<std::string> source = m.text(m.argument(esp, 1));
    testhost::recordCopy(source ? source->c_str() : nullptr);
    if (!source || !m.accessible(destination, static_cast<std::uint32_t>(source->size() + 1), kWritable)) {
        m.fail("lstrcpyA given a text or a destination the module cannot reach");
        return 0;
    }
    m.write(destination, source->c_str(), static_cast<std::uint32_t>(source->size() + 1));
    return destination;
}

std::uint32_t messageBox(Machine& m, Address esp, void* /*c*/) {
    auto textAt = [&](int argument) {
        const Address at = m.argument(esp, argument);
        return at == 0 ? std::optional<std::string>{} : m.text(at);
    };
    const std::optional<std::string> body = textAt(1);
    const std::optional<std::string> caption = textAt(2);
    return static_cast<std::uint32_t>(testhost::recordMessageBox(
        m.argument(esp, 0), body ? body->c_str() : nullptr, caption ? caption->c_str() : nullptr, m.argument(esp, 3)));
}

std::uint32_t runtimeCalloc(Machine& m, Address esp, void* c) {
    const std::uint64_t size = std::uint64_t{m.argument(esp, 0)} * m.argument(esp, 1);
    return size > 0xFFFFFFFFu ? 0 : self(c).allocateRuntime(static_cast<std::uint32_t>(size));
}

std::uint32_t runtimeFree(Machine& m, Address esp, void* c) {
    const Address block = m.argument(esp, 0);
    if (block != 0 && !self(c).releaseRuntime(block)) m.fail("free() of a block the C runtime did not give");
    return 0;
}

std::uint32_t runtimeMemcpy(Machine& m, Address esp, void* /*c*/) {
    const Address destination = m.argument(esp, 0);
    const Address source = m.argument(esp, 1);
    const std::uint32_t size = m.argument(esp, 2);
    if (!m.accessible(source, size, kReadable) || !m.accessible(destination, size, kWritable)) {
        m.fail("memcpy() of " + std::to_string(size) + " bytes beyond memory the module holds");
        return destination;
    }
    std::vector<std::uint8_t> bytes(size);
    m.read(source, bytes.data(), size);
    m.write(destination, bytes.data(), size);
    return destination;
}

// msvcrt's _initterm(begin, end) calls the functions of a table in guest
// code: the emulated processor runs them, as it runs the module.
const std::vector<std::uint8_t> kInitTerm = {
    0x56,                    // push esi
    0x57,                    // push edi
    0x8B, 0x74, 0x24, 0x0C,  // mov esi, [esp + 12]
    0x8B, 0x7C, 0x24, 0x10,  // mov edi, [esp + 16]
    0x39, 0xFE,              // next: cmp esi, edi
    0x73, 0x0D,              // jae done
    0x8B, 0x06,              // mov eax, [esi]
    0x85, 0xC0,              // test eax, eax
    0x74, 0x02,              // jz skip
    0xFF, 0xD0,              // call eax
    0x83, 0xC6, 0x04,        // skip: add esi, 4
    0xEB, 0xEF,              // jmp next
    0x5F,                    // done: pop edi
    0x5E,                    // pop esi
    0xC3,                    // ret
};

struct Function {
    const char* dll;
    const char* name;
    std::uint16_t argumentBytes;  // popped by a stdcall function; 0 for the C runtime's
    NativeFunction function;      // null: unexpected
};

const Function kFunctions[] = {
    {"kernel32.dll", "DeleteCriticalSection", 4, nothing},
    {"kernel32.dll", "EnterCriticalSection", 4, nothing},
    {"kernel32.dll", "InitializeCriticalSection", 4, nothing},
    {"kernel32.dll", "LeaveCriticalSection", 4, nothing},
    {"kernel32.dll", "GetModuleHandleA", 4, notLoaded},
    {"kernel32.dll", "GlobalAlloc", 8, globalAlloc},
    {"kernel32.dll", "GlobalFree", 4, globalFree},
    {"kernel32.dll", "lstrcpyA", 8, copyText},
    {"user32.dll", "MessageBoxA", 16, messageBox},
    {"msvcrt.dll", "_lock", 0, nothing},
    {"msvcrt.dll", "_unlock", 0, nothing},
    {"msvcrt.dll", "calloc", 0, runtimeCalloc},
    {"msvcrt.dll", "free", 0, runtimeFree},
    {"msvcrt.dll", "memcpy", 0, runtimeMemcpy},
    {"kernel32.dll", "FreeLibrary", 4, nullptr},
    {"kernel32.dll", "GetLastError", 0, nullptr},
    {"kernel32.dll", "GetProcAddress", 8, nullptr},
    {"kernel32.dll", "LoadLibraryA", 4, nullptr},
    {"kernel32.dll", "Sleep", 4, nullptr},
    {"kernel32.dll", "TlsGetValue", 4, nullptr},
    {"kernel32.dll", "VirtualProtect", 16, nullptr},
    {"kernel32.dll", "VirtualQuery", 12, nullptr},
    {"msvcrt.dll", "_amsg_exit", 0, nullptr},
    {"msvcrt.dll", "abort", 0, nullptr},
    {"msvcrt.dll", "fwrite", 0, nullptr},
    {"msvcrt.dll", "realloc", 0, nullptr},
    {"msvcrt.dll", "strlen", 0, nullptr},
    {"msvcrt.dll", "strncmp", 0, nullptr},
    {"msvcrt.dll", "vfprintf", 0, nullptr},
};

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

SystemImports::SystemImports(Machine& machine) : machine_(machine), nextBlock_(kBlocks), nextRuntime_(kRuntimeHeap) {
    machine_.map(kRuntimeHeap, kRuntimeHeapSize, kReadable | kWritable, "the C runtime's heap");
}

Address SystemImports::bind(const std::string& dll, const std::string& name) {
    const std::string library = lowercase(dll);
    const std::string full = library + "!" + name;
    if (const auto found = bound_.find(full); found != bound_.end()) return found->second;
    Address address = 0;
    if (full == "msvcrt.dll!_initterm") {
        address = machine_.addCode(kInitTerm);
    } else if (full == "msvcrt.dll!_iob") {
        address = machine_.addData(3 * kMsvcrtFileSize, "msvcrt's _iob");
    } else {
        for (const Function& f : kFunctions) {
            if (library != f.dll || name != f.name) continue;
            if (f.function != nullptr) {
                address = machine_.addStub(dll + "!" + name, f.argumentBytes, f.function, this);
            } else {
                std::string& named = names_.emplace_back(dll + "!" + name);
                address = machine_.addStub(named, f.argumentBytes, unexpected, named.data());
            }
        }
    }
    if (address != 0) bound_[full] = address;
    return address;
}

// Every block in pages of its own with an unmapped page on either side, its
// end against the page after it and its start against the one before, by
// turns, as the test host under wine serves them.
Address SystemImports::allocateBlock(std::uint32_t byteCount) {
    const std::uint32_t size = std::max<std::uint32_t>(kPage, (byteCount + kPage - 1) / kPage * kPage);
    if (byteCount > kBlocksEnd - kBlocks - 2 * kPage) return 0;
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (std::uint64_t{nextBlock_} + size + kPage > kBlocksEnd) nextBlock_ = kBlocks;
        const Address start = nextBlock_;
        nextBlock_ += size + kPage;
        if (machine_.map(start, size, kReadable | kWritable,
                         "a block of " + std::to_string(byteCount) + " bytes from GlobalAlloc")) {
            const Address block = blocksServed_++ % 2 == 0 ? start + size - byteCount : start;
            blocks_[block] = {start, size};
            return block;
        }
    }
    return 0;
}

bool SystemImports::releaseBlock(Address block) {
    const auto found = blocks_.find(block);
    if (found == blocks_.end()) return false;
    machine_.unmap(found->second.start, found->second.size);
    blocks_.erase(found);
    return true;
}

// A heap that never hands out the same bytes twice: the C runtime's start-up
// and shutdown ask for a few hundred bytes.
Address SystemImports::allocateRuntime(std::uint32_t byteCount) {
    const std::uint32_t size = (std::max<std::uint32_t>(byteCount, 1) + 15) / 16 * 16;
    if (size > kRuntimeHeap + kRuntimeHeapSize - nextRuntime_) return 0;
    const Address block = nextRuntime_;
    nextRuntime_ += size;
    runtime_.insert(block);
    return block;
}

bool SystemImports::releaseRuntime(Address block) {
    return runtime_.erase(block) == 1;
}

}  // namespace tesmora::emulated
