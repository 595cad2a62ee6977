#include "dll_loader.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "aligned_operands.h"

namespace tesmora::emulated {

namespace {

// Far from the module's preferred base, so that every relocation is applied.
constexpr Address kImageBase = 0x10000000;
constexpr std::uint32_t kProcessDetach = 0;
constexpr std::uint32_t kProcessAttach = 1;
constexpr std::uint32_t kTebTlsPointer = 0x2C;
constexpr std::uint32_t kMostCallbacks = 64;

// One start-up or shutdown call: from an aligned stack, in the floating-point
// state Windows starts a program with; any fault or breach is an error.
bool notify(Machine& machine, Address function, std::uint32_t base, std::uint32_t reason, const char* what,
            std::uint32_t& result, std::string& error) {
    const testhost::ForeignCall call =
        machine.call(function, {base, reason, 0}, 0, testhost::kWindowsX87Control, testhost::kWindowsMxcsr);
    std::vector<std::string> faults = machine.takeFaults();
    if (faults.empty()) faults = testhost::conventionBreaches(call);
    if (!faults.empty()) {
        error = std::string(what) + ": " + faults.front();
        return false;
    }
    result = call.result;
    return true;
}

bool notifyCallbacks(Machine& machine, const LoadedDll& dll, std::uint32_t reason, std::string& error) {
    const PeImage& image = dll.image;
    if (!image.threadStorage || image.threadStorage->callbacks == 0) return true;
    for (std::uint32_t i = 0; i < kMostCallbacks; ++i) {
        const Address callback = machine.read32(image.base + image.threadStorage->callbacks + 4 * i);
        if (callback == 0) return true;
        std::uint32_t ignored = 0;
        if (!notify(machine, callback, image.base, reason, "a TLS callback", ignored, error)) return false;
    }
    error = "more than " + std::to_string(kMostCallbacks) + " TLS callbacks";
    return false;
}

bool bindImports(SystemImports& system, PeImage& image, std::string& error) {
    std::string unknown;
    for (const Import& import : image.imports) {
        const Address address = system.bind(import.dll, import.name);
        if (address == 0) unknown += (unknown.empty() ? "" : ", ") + import.dll + "!" + import.name;
        std::memcpy(image.bytes.data() + import.slot, &address, 4);
    }
    if (!unknown.empty()) error = "it imports what the emulated caller does not serve: " + unknown;
    return unknown.empty();
}

bool mapImage(Machine& machine, const LoadedDll& dll, std::string& error) {
    const PeImage& image = dll.image;
    machine.map(image.base, image.headerSize, kReadable, "the headers of " + dll.name);
    machine.write(image.base, image.bytes.data(), image.headerSize);
    for (const Section& section : image.sections) {
        const std::uint32_t access =
            kReadable | (section.writable ? kWritable : 0u) | (section.executable ? kExecutable : 0u);
        if (!machine.map(image.base + section.start, section.size, access,
                         "section " + section.name + " of " + dll.name)) {
            error = "section " + section.name + " overlaps another";
            return false;
        }
        machine.write(image.base + section.start, image.bytes.data() + section.start, section.size);
        if (!section.executable) continue;
        std::vector<AlignedOperand> operands;
        if (!findAlignedOperands(image.bytes.data() + section.start, section.size, image.base + section.start, operands,
                                 error)) {
            return false;
        }
        for (const AlignedOperand& operand : operands) machine.checkAlignment(operand);
    }
    machine.nameCode(image.base, static_cast<std::uint32_t>(image.bytes.size()), dll.name);
    return true;
}

// One thread, one block: the template, then zeros, at index 0 of the
// thread's array of blocks.
void setUpThreadStorage(Machine& machine, const LoadedDll& dll) {
    const PeImage& image = dll.image;
    if (!image.threadStorage) return;
    const ThreadStorage& tls = *image.threadStorage;
    const std::uint32_t templateSize = tls.templateEnd - tls.templateStart;
    const Address block = machine.addData(templateSize + tls.zeroFill, "the thread-local storage of " + dll.name);
    machine.write(block, image.bytes.data() + tls.templateStart, templateSize);
    const Address blocks = machine.addData(4, "the thread's list of thread-local storage blocks");
    machine.write(blocks, &block, 4);
    machine.write(machine.threadEnvironment() + kTebTlsPointer, &blocks, 4);
    const std::uint32_t index = 0;
    machine.write(image.base + tls.indexSlot, &index, 4);
}

}  // namespace

bool loadDll(Machine& machine, SystemImports& system, const std::string& path, LoadedDll& dll, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    dll.path = path;
    dll.name = path.substr(path.find_last_of('/') + 1);
    if (!layOutPeImage(file, kImageBase, dll.image, error) || !bindImports(system, dll.image, error)) {
        error = path + ": " + error;
        return false;
    }
    if (!mapImage(machine, dll, error)) return false;
    setUpThreadStorage(machine, dll);
    if (!notifyCallbacks(machine, dll, kProcessAttach, error)) return false;
    std::uint32_t answer = 1;
    if (dll.image.entryPoint != 0 && !notify(machine, dll.image.base + dll.image.entryPoint, dll.image.base,
                                             kProcessAttach, "the entry point", answer, error)) {
        return false;
    }
    if (answer == 0) error = "the entry point answered 0 to the process attach: LoadLibrary would fail";
    return answer != 0;
}

Address exportOf(const LoadedDll& dll, const std::string& name, std::uint32_t ordinal, std::string& error) {
    const auto byName = dll.image.exportsByName.find(name);
    const auto byOrdinal = dll.image.exportsByOrdinal.find(ordinal);
    if (byName == dll.image.exportsByName.end() || byOrdinal == dll.image.exportsByOrdinal.end() ||
        byName->second != byOrdinal->second) {
        error = name + " is not exported by name and ordinal " + std::to_string(ordinal);
        return 0;
    }
    return dll.image.base + byName->second;
}

bool unloadDll(Machine& machine, const LoadedDll& dll, std::string& error) {
    if (!notifyCallbacks(machine, dll, kProcessDetach, error)) return false;
    std::uint32_t ignored = 0;
    return dll.image.entryPoint == 0 || notify(machine, dll.image.base + dll.image.entryPoint, dll.image.base,
                                               kProcessDetach, "the entry point at the process detach", ignored, error);
}

}  // namespace tesmora::emulated
