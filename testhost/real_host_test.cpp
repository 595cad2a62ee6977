// What a real editor does with the module beyond single calls, tried on the
// real DLL with its real imports: loads and frees it many times, loads it from
// a folder with spaces and non-ASCII letters, and calls XfmDo from two threads
// at once, each with a small stack and a stack alignment of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foreign_call.h"
#include "line_repair_reference.h"
#include "loaded_module.h"
#include "xfm.h"

namespace tesmora::testhost {
namespace {

// A copy of the module under a name no other test uses, deleted afterwards.
class ModuleCopy {
public:
    ModuleCopy() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"Tesmora m\u00F6dule \u00E9t\u00E9 \u6A21\u5757";
        path_ = folder_ + L"\\tesmora copy \u00FC.xfm";
        CreateDirectoryW(folder_.c_str(), nullptr);
        wchar_t source[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, kModuleFile, -1, source, MAX_PATH);
        copied_ = CopyFileW(source, path_.c_str(), FALSE) != 0;
    }
    ~ModuleCopy() {
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    ModuleCopy(const ModuleCopy&) = delete;
    ModuleCopy& operator=(const ModuleCopy&) = delete;

    bool copied() const { return copied_; }
    const std::wstring& path() const { return path_; }

private:
    std::wstring folder_;
    std::wstring path_;
    bool copied_ = false;
};

// One stdcall call through the foreign caller; breaches land in breaches.
std::uint32_t callExport(FARPROC function, std::initializer_list<std::uint32_t> arguments, std::uint32_t stackOffset,
                         std::vector<std::string>& breaches) {
    const ForeignCall call = callForeign(reinterpret_cast<const void*>(function), arguments, stackOffset);
    for (auto& breach : conventionBreaches(call)) breaches.push_back(std::move(breach));
    return call.result;
}

TEST(RealHost, LoadsFromAnyFolderAndFreesCleanlyAThousandTimes) {
    const ModuleCopy copy;
    ASSERT_TRUE(copy.copied());
    auto cycle = [&](std::vector<std::string>& breaches) {
        HMODULE module = LoadLibraryW(copy.path().c_str());
        ASSERT_NE(module, nullptr) << GetLastError();
        ASSERT_NE(module, loadedModule().handle);
        XfmQuery query{};
        EXPECT_EQ(callExport(GetProcAddress(module, "QueryXfm"), {address(&query)}, 4, breaches) & 0xFFFF, 0x0480u);
        EXPECT_STREQ(query.name, "Tesmora");
        EXPECT_TRUE(FreeLibrary(module));
    };
    // Wine answers neither GetProcessMemoryInfo nor GetProcessHandleCount:
    // memory is counted region by region, and a leaked handle shows as the
    // next new handle taking another value, since freed handle values are
    // handed out again first.
    auto usage = [] {
        SIZE_T committed = 0;
        MEMORY_BASIC_INFORMATION region{};
        for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
             at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
            if (region.State == MEM_COMMIT) committed += region.RegionSize;
        }
        HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        CloseHandle(probe);
        return std::pair<SIZE_T, HANDLE>{committed, probe};
    };
    std::vector<std::string> breaches;
    for (int i = 0; i < 20; ++i) cycle(breaches);  // whatever the loader caches is in place now
    const auto [memoryBefore, handlesBefore] = usage();
    for (int i = 0; i < 1000 && !HasFatalFailure(); ++i) cycle(breaches);
    const auto [memoryAfter, handlesAfter] = usage();
    EXPECT_EQ(breaches, std::vector<std::string>{});
    EXPECT_EQ(handlesAfter, handlesBefore) << "a handle was not closed";
    EXPECT_LT(memoryAfter, memoryBefore + 256 * 1024) << "committed memory grew from " << memoryBefore;
}

// Two hosts' threads, each with a waveform and host functions of its own.
constexpr int kThreads = 2;
constexpr std::uint32_t kSelection = 1u << 20;
std::vector<std::int16_t> waveforms[kThreads];

template <int Thread>
std::uint32_t XFM_WINAPI readWaveform(void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    std::memcpy(buffer, reinterpret_cast<const char*>(waveforms[Thread].data()) + byteOffset, byteCount);
    return 0;
}

template <int Thread>
std::uint32_t XFM_WINAPI writeWaveform(const void* buffer, std::uint32_t byteOffset, std::uint32_t byteCount) {
    std::memcpy(reinterpret_cast<char*>(waveforms[Thread].data()) + byteOffset, buffer, byteCount);
    return 0;
}

struct Job {
    FARPROC xfmDo;
    XfmContext context;
    std::uint32_t stackOffset;
    int repeats;
    std::vector<std::uint32_t> results;
    std::vector<std::string> breaches;
};

DWORD WINAPI runJob(LPVOID parameter) {
    auto& job = *static_cast<Job*>(parameter);
    for (int i = 0; i < job.repeats; ++i) {
        job.results.push_back(callExport(job.xfmDo, {address(&job.context)}, job.stackOffset, job.breaches));
    }
    return 0;
}

TEST(RealHost, TwoThreadsWithSmallStacksRepairAtOnceExactly) {
    const ModuleCopy copy;
    ASSERT_TRUE(copy.copied());
    HMODULE module = LoadLibraryW(copy.path().c_str());  // its real imports, not the recorders
    ASSERT_NE(module, nullptr);
    FARPROC xfmDo = GetProcAddress(module, "XfmDo");

    std::mt19937 random(7);
    std::vector<std::int16_t> expected[kThreads];
    Job jobs[kThreads];
    std::int32_t noStop = 0;
    const XfmReadData reads[kThreads] = {readWaveform<0>, readWaveform<1>};
    const XfmWriteData writes[kThreads] = {writeWaveform<0>, writeWaveform<1>};
    for (int t = 0; t < kThreads; ++t) {
        waveforms[t].resize(kSelection + 100);
        for (auto& sample : waveforms[t]) sample = static_cast<std::int16_t>(random());
        const std::uint32_t start = 37 + static_cast<std::uint32_t>(t);
        expected[t] = waveforms[t];
        // The same selection repaired again gives the same block: the line is
        // already there, and the ends' neighbours are averaged once more.
        const int repeats = 8;
        const RepairHooks quiet{[](void*, std::uint32_t, std::uint32_t) {}, [](void*) { return false; }, nullptr};
        for (int r = 0; r < repeats; ++r) LineRepairReference(expected[t].data() + start, kSelection, quiet);
        XfmContext& context = jobs[t].context;
        context = XfmContext{};
        context.channels = 1;
        context.bitsPerSample = 16;
        context.frameSize = 2;
        context.selectionStart = start;
        context.selectionEnd = start + kSelection - 1;
        context.readData = reads[t];
        context.writeData = writes[t];
        context.cancelFlag = &noStop;
        jobs[t].xfmDo = xfmDo;
        jobs[t].stackOffset = 4 + 4 * static_cast<std::uint32_t>(t);
        jobs[t].repeats = repeats;
    }

    // 64 KiB of stack each, the least Windows reserves for a thread.
    HANDLE threads[kThreads];
    for (int t = 0; t < kThreads; ++t) {
        threads[t] = CreateThread(nullptr, 64 * 1024, runJob, &jobs[t], STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        ASSERT_NE(threads[t], nullptr);
    }
    EXPECT_EQ(WaitForMultipleObjects(kThreads, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (int t = 0; t < kThreads; ++t) {
        CloseHandle(threads[t]);
        EXPECT_EQ(jobs[t].results, std::vector<std::uint32_t>(jobs[t].repeats, 1u)) << "thread " << t;
        EXPECT_EQ(jobs[t].breaches, std::vector<std::string>{}) << "thread " << t;
        EXPECT_TRUE(waveforms[t] == expected[t]) << "thread " << t << " got another waveform";
    }
    EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
}  // namespace tesmora::testhost
