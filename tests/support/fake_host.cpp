#include "fake_world.h"

#include <cstdlib>
#include <cstring>

namespace tesmora::testing {

namespace {

FakeWorld* world = nullptr;

std::string quoted(const char* text) {
    return text == nullptr ? std::string("null") : std::string(text);
}

bool inWaveform(const FakeWorld& w, std::uint32_t byteOffset, std::uint32_t byteCount) {
    const std::uint64_t size = w.waveform.size() * sizeof(std::int16_t);
    return std::uint64_t{byteOffset} + byteCount <= size;
}

std::uint32_t XFM_WINAPI fakeReadData(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    FakeWorld& w = currentWorld();
    w.log.push_back("readData(" + std::to_string(byteOffset) + ", " + std::to_string(byteCount) + ")");
    if (!inWaveform(w, byteOffset, byteCount)) {
        return 1;  // a host cannot deliver bytes it does not have
    }
    std::memcpy(buffer, reinterpret_cast<const char*>(w.waveform.data()) + byteOffset, byteCount);
    return w.readResult;
}

std::uint32_t XFM_WINAPI fakeWriteData(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    FakeWorld& w = currentWorld();
    w.log.push_back("writeData(" + std::to_string(byteOffset) + ", " + std::to_string(byteCount) + ")");
    if (!inWaveform(w, byteOffset, byteCount)) {
        w.faults.push_back("writeData outside the waveform");
        return 0;
    }
    std::memcpy(reinterpret_cast<char*>(w.waveform.data()) + byteOffset, buffer, byteCount);
    return 0xDEAD;
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

FakeWorld::FakeWorld() : previous_(world) {
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
    XfmContext c{};
    c.channels = 1;
    c.bitsPerSample = 16;
    c.frameSize = 2;
    c.selectionStart = start;
    c.selectionEnd = end;
    c.readData = fakeReadData;
    c.writeData = fakeWriteData;
    c.cancelFlag = &stopFlag;
    c.reportProgress = fakeReportProgress;
    c.showStatus = fakeShowStatus;
    c.endProcessing = fakeEndProcessing;
    return c;
}

std::vector<std::string> FakeWorld::calls(std::size_t from) const {
    return {log.begin() + static_cast<std::ptrdiff_t>(from), log.end()};
}

}  // namespace tesmora::testing
