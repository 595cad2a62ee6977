// The entry points the shared tests call, bound to the real tesmora.xfm in the
// emulated machine and called as the current foreign caller would. The
// records the tests hand over are native; the module sees them as a 32-bit
// host lays them out: the context on a read-only page, the description record
// against the end of its page (so that a read or write past either faults),
// the host functions as stubs that run the tests' own, and the stop flag read
// from the tests' own flag each time the module reads it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "caller.h"
#include "dll_loader.h"
#include "emulated_binding.h"
#include "machine.h"
#include "module_under_test.h"
#include "system_imports.h"
#include "xfm.h"

namespace tesmora::emulated {

namespace {

constexpr Address kContextPage = 0x00300000;
constexpr Address kQueryPage = 0x00302000;
constexpr Address kStopFlagPage = 0x00304000;
constexpr std::uint32_t kContextSize = 60;  // the 32-bit layout
constexpr std::uint32_t kQuerySize = sizeof(XfmQuery);
constexpr Address kContextAddress = kContextPage + kPage - kContextSize;
constexpr Address kQueryAddress = kQueryPage + kPage - kQuerySize;
constexpr Address kStopFlagAddress = kStopFlagPage + kPage - 4;
constexpr int kXfmDo = 3;  // the index of XfmDo among the exports

// The host functions the context names, as the module calls them.
struct HostStubs {
    Address readData = 0;
    Address writeData = 0;
    Address reportProgress = 0;
    Address showStatus = 0;
    Address endProcessing = 0;
};

struct Emulation {
    Machine machine;
    SystemImports system{machine};
    LoadedDll dll;
    HostStubs host;
    Address exports[5] = {};        // QueryXfm, XfmInit, XfmSetup, XfmDo, XfmDestroy
    XfmContext* context = nullptr;  // the native record of the call under way
};

std::unique_ptr<Emulation> emulation;
testing::Caller current;
std::vector<std::string> faults;

Machine& machine() {
    return emulation->machine;
}

// At least one byte: the host gets a real buffer even for an empty read, as
// it does from the module under Windows.
std::vector<std::uint8_t> bytesOf(Address at, std::uint32_t size) {
    std::vector<std::uint8_t> bytes(std::max<std::uint32_t>(size, 1));
    machine().read(at, bytes.data(), size);
    return bytes;
}

// A buffer the module hands a host function must be memory it holds.
bool holds(Machine& m, const char* function, Address buffer, std::uint32_t size, std::uint32_t access) {
    if (m.accessible(buffer, size, access)) return true;
    m.fail(std::string(function) + " was handed " + std::to_string(size) + " bytes at " + hex(buffer) +
           ", beyond the memory the module holds there (" + m.describe(buffer) + ")");
    return false;
}

// The host's flag as the module finds it on its read-only page: copied in
// before XfmDo and after each progress report, from which a host sets it when
// the user cancels. (XfmSetup's records may hold anything there.)
void copyStopFlag(Machine& m) {
    const XfmContext* context = emulation->context;
    if (context == nullptr || context->cancelFlag == nullptr) return;
    const std::int32_t flag = *context->cancelFlag;
    m.write(kStopFlagAddress, &flag, 4);
}

std::uint32_t readData(Machine& m, Address esp, void* /*c*/) {
    const Address buffer = m.argument(esp, 0);
    const std::uint32_t count = m.argument(esp, 2);
    if (!holds(m, "readData", buffer, count, kWritable)) return 1;
    std::vector<std::uint8_t> bytes = bytesOf(buffer, count);
    const std::uint32_t status = emulation->context->readData(bytes.data(), m.argument(esp, 1), count);
    m.write(buffer, bytes.data(), count);
    return status;
}

std::uint32_t writeData(Machine& m, Address esp, void* /*c*/) {
    const Address buffer = m.argument(esp, 0);
    const std::uint32_t count = m.argument(esp, 2);
    if (!holds(m, "writeData", buffer, count, kReadable)) return 0;
    const std::vector<std::uint8_t> bytes = bytesOf(buffer, count);
    return emulation->context->writeData(bytes.data(), m.argument(esp, 1), count);
}

std::uint32_t reportProgress(Machine& m, Address esp, void* /*c*/) {
    const std::uint32_t result = emulation->context->reportProgress(m.argument(esp, 0), m.argument(esp, 1));
    copyStopFlag(m);
    return result;
}

std::uint32_t showStatus(Machine& m, Address esp, void* /*c*/) {
    const std::optional<std::string> text = m.text(m.argument(esp, 0));
    if (!text) {
        m.fail("showStatus was handed a text the module does not hold");
        return 0;
    }
    emulation->context->showStatus(text->c_str(), m.argument(esp, 1));
    return 0;
}

std::uint32_t endProcessing(Machine& m, Address esp, void* /*c*/) {
    const Address record = m.argument(esp, 0);
    if (record != kContextAddress) {
        m.fail("endProcessing was handed " + hex(record) + ", not the context record");
        return 0;
    }
    emulation->context->endProcessing(emulation->context);
    return 0;
}

// The native record as the 32-bit host lays it out, with the host functions
// it names replaced by stubs that reach them.
void placeContext(const XfmContext& context) {
    std::uint8_t bytes[kContextSize] = {};
    std::memcpy(bytes, &context, 16);  // channels, bitsPerSample, frameSize and the host's first fields
    std::memcpy(bytes + 16, &context.selectionStart, 4);
    std::memcpy(bytes + 20, &context.selectionEnd, 4);
    std::memcpy(bytes + 24, context.hostFieldsB, sizeof context.hostFieldsB);
    const HostStubs& host = emulation->host;
    const Address pointers[] = {context.readData != nullptr ? host.readData : 0,
                                context.writeData != nullptr ? host.writeData : 0,
                                context.cancelFlag != nullptr ? kStopFlagAddress : 0,
                                context.reportProgress != nullptr ? host.reportProgress : 0,
                                context.showStatus != nullptr ? host.showStatus : 0,
                                context.endProcessing != nullptr ? host.endProcessing : 0};
    std::memcpy(bytes + 36, pointers, sizeof pointers);
    machine().write(kContextAddress, bytes, kContextSize);
}

std::uint32_t call(int entry, const char* name, std::initializer_list<std::uint32_t> arguments) {
    Machine& m = machine();
    const testhost::ForeignCall c =
        m.call(emulation->exports[entry], arguments, current.stackOffset, current.x87Control, current.mxcsr);
    std::vector<std::string> found = m.takeFaults();
    if (found.empty()) found = testhost::conventionBreaches(c);
    for (const auto& fault : found) faults.push_back(std::string(name) + " called as " + current.name + ": " + fault);
    return c.result;
}

std::uint32_t withContext(int entry, const char* name, const XfmContext* context,
                          std::initializer_list<std::uint32_t> arguments) {
    emulation->context = const_cast<XfmContext*>(context);
    if (context != nullptr) placeContext(*context);
    if (entry == kXfmDo) copyStopFlag(machine());
    const std::uint32_t result = call(entry, name, arguments);
    emulation->context = nullptr;
    return result;
}

bool load(const std::string& path, std::string& error) {
    emulation = std::make_unique<Emulation>();
    Machine& m = machine();
    HostStubs& host = emulation->host;
    host.readData = m.addStub("the host's readData", 12, readData, nullptr);
    host.writeData = m.addStub("the host's writeData", 12, writeData, nullptr);
    host.reportProgress = m.addStub("the host's reportProgress", 8, reportProgress, nullptr);
    host.showStatus = m.addStub("the host's showStatus", 8, showStatus, nullptr);
    host.endProcessing = m.addStub("the host's endProcessing", 0, endProcessing, nullptr);
    m.map(kContextPage, kPage, kReadable, "the context record");
    m.map(kQueryPage, kPage, kReadable | kWritable, "the description record");
    m.map(kStopFlagPage, kPage, kReadable, "the stop flag");
    if (!loadDll(m, emulation->system, path, emulation->dll, error)) return false;
    const char* names[] = {"QueryXfm", "XfmInit", "XfmSetup", "XfmDo", "XfmDestroy"};
    for (int i = 0; i < 5; ++i) {
        emulation->exports[i] = exportOf(emulation->dll, names[i], 2 + static_cast<std::uint32_t>(i), error);
        if (emulation->exports[i] == 0) return false;
    }
    return true;
}

}  // namespace

const LoadedDll& boundDll() {
    return emulation->dll;
}

}  // namespace tesmora::emulated

namespace tesmora::testing {

void callAs(const Caller& caller) {
    emulated::current = caller;
}

std::vector<std::string> takeConventionFaults() {
    std::vector<std::string> taken;
    taken.swap(emulated::faults);
    return taken;
}

}  // namespace tesmora::testing

namespace tesmora::testhost {

bool loadModuleUnderTest(const std::string& path, std::string& error) {
    testing::callAs(testing::callers().front());
    return emulated::load(path, error);
}

bool unloadModuleUnderTest(std::string& error) {
    return emulated::unloadDll(emulated::machine(), emulated::emulation->dll, error);
}

const char* callerKind() {
    return "emulated caller";
}

}  // namespace tesmora::testhost

using tesmora::emulated::call;
using tesmora::emulated::withContext;

XFM_EXTERN_C uint16_t XFM_WINAPI QueryXfm(XfmQuery* query) {
    using namespace tesmora::emulated;
    if (query == nullptr) return static_cast<uint16_t>(call(0, "QueryXfm", {0}));
    machine().write(kQueryAddress, query, kQuerySize);
    const auto result = static_cast<uint16_t>(call(0, "QueryXfm", {kQueryAddress}));
    machine().read(kQueryAddress, query, kQuerySize);
    return result;
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmInit(uint32_t unused) {
    return static_cast<int32_t>(call(1, "XfmInit", {unused}));
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmSetup(void* ownerWindow, uint32_t unused, const XfmContext* context) {
    const auto owner = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ownerWindow));
    return static_cast<int32_t>(withContext(
        2, "XfmSetup", context, {owner, unused, context != nullptr ? tesmora::emulated::kContextAddress : 0}));
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmDo(XfmContext* context) {
    return static_cast<int32_t>(withContext(tesmora::emulated::kXfmDo, "XfmDo", context,
                                            {context != nullptr ? tesmora::emulated::kContextAddress : 0}));
}

XFM_EXTERN_C int32_t XFM_WINAPI XfmDestroy(uint32_t unused) {
    return static_cast<int32_t>(call(4, "XfmDestroy", {unused}));
}
