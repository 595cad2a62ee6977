#include "fake_world.h"

#include <cstdlib>

namespace tesmora::testing {

namespace {

FakeWorld* world = nullptr;

std::string quoted(const char* text) {
    return text == nullptr ? std::string("null") : std::string(text);
}

// Reads and writes are recorded, then served by the world's in-memory host.
std::uint32_t XFM_WINAPI fakeReadData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    FakeWorld& w = currentWorld();
    w.log.push_back("readData(" + std::to_string(byteOffset) + ", " + std::to_string(byteCount) + ")");
    // A host cannot deliver bytes it does not have: readResult answers only for those it has.
    const std::uint32_t status = MemoryHost::readData(buffer, byteOffset, byteCount);
    return status != 0 ? status : w.readResult;
}

std::uint32_t XFM_WINAPI fakeWriteData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    FakeWorld& w = currentWorld();
    w.log.push_back("writeData(" + std::to_string(byteOffset) + ", " + std::to_string(byteCount) + ")");
    if (!holdsBytes(w.waveform, byteOffset, byteCount)) {
        w.faults.push_back("writeData outside the waveform");
        return 0;
    }
    MemoryHost::writeData(buffer, byteOffset, byteCount);
    return 0xDEAD;  // the module does not look at the answer
}

std::uint32_t XFM_WINAPI fakeReportProgress(std::uint32_t position, std::uint32_t total) {
    FakeWorld& w = currentWorld();
    w.log.push_back("reportProgress(" + std::to_string(position) + ", " + std::to_string(total) + ")");
    if (w.stopAtPosition == position) {
        w.stopFlag = 1;
    }
    return 0;
}

void XFM_WINAPI fakeShowStatus(const char* text, std::uint32_t value) {
    currentWorld().log.push_back("showStatus(" + quoted(text) + ", " + std::to_string(value) + ")");
}

void XFM_CDECL fakeEndProcessing(XfmContext* context) {
    FakeWorld& w = currentWorld();
    // Every block is still held when the host hears of the end: it is released after.
    w.log.push_back("endProcessing(" + std::string(context == nullptr ? "null" : "context") + ", held " +
                    std::to_string(w.liveBlocks.size()) + ")");
}

}  // namespace

FakeWorld::FakeWorld() : previous_(world), host_(waveform) {
    world = this;
}

FakeWorld::~FakeWorld() {
    world = previous_;
}

FakeWorld& currentWorld() {
    if (world == nullptr) {
        std::abort();
    }
    return *world;
}

XfmContext FakeWorld::context(std::uint32_t start, std::uint32_t end) {
    XfmContext c = host_.context(start, end, stopFlag);
    c.readData = fakeReadData;
    c.writeData = fakeWriteData;
    c.reportProgress = fakeReportProgress;
    c.showStatus = fakeShowStatus;
    c.endProcessing = fakeEndProcessing;
    return c;
}

std::vector<std::string> FakeWorld::calls(std::size_t from) const {
    return {log.begin() + static_cast<std::ptrdiff_t>(from), log.end()};
}

}  // namespace tesmora::testing
