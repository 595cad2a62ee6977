// The real message boxes: loads tesmora.xfm with its real imports (nothing
// patched) and makes one call that shows a box, for a person or a script at
// the display to answer. A watcher thread describes the box from the Windows
// side (caption, owner, text, buttons) while it is up; the call's result is
// printed when it returns.
//   tesmora_real_boxes question   XfmSetup over 501 samples, from an owner window
//   tesmora_real_boxes error      XfmDo on 8-bit data
//   tesmora_real_boxes toolbar F  writes the module's TOOLBARICON bitmap to the file F
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "xfm.h"

namespace {

HWND ownerWindow = nullptr;

std::string textOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    std::string flat;
    for (const char* c = text; *c != '\0'; ++c) flat += *c == '\n' ? std::string("\\n") : std::string(1, *c);
    return flat;
}

BOOL CALLBACK describeChild(HWND child, LPARAM /*unused*/) {
    char kind[64] = {};
    GetClassNameA(child, kind, sizeof kind);
    const std::string text = textOf(child);
    if (_stricmp(kind, "Button") == 0) {
        std::printf("button: %s\n", text.c_str());
    } else if (_stricmp(kind, "Static") == 0 && !text.empty()) {
        std::printf("text: %s\n", text.c_str());
    }
    return TRUE;
}

// Waits up to 80 s for the module's box, then says what it shows.
DWORD WINAPI watchForBox(LPVOID /*unused*/) {
    for (int i = 0; i < 1600; ++i) {
        HWND box = FindWindowA("#32770", "Tesmora");
        if (box != nullptr && IsWindowVisible(box)) {
            const HWND owner = GetWindow(box, GW_OWNER);
            std::printf("box: caption %s, owner %s\n", textOf(box).c_str(),
                        owner == nullptr       ? "none"
                        : owner == ownerWindow ? "the host's window"
                                               : "another window");
            EnumChildWindows(box, describeChild, 0);
            std::printf("shown\n");
            std::fflush(stdout);
            return 0;
        }
        Sleep(50);
    }
    std::printf("no box appeared\n");
    std::fflush(stdout);
    return 1;
}

int writeToolbar(HMODULE module, const char* path) {
    HRSRC found = FindResourceA(module, "TOOLBARICON", MAKEINTRESOURCEA(2));  // RT_BITMAP
    if (found == nullptr) return std::printf("no TOOLBARICON bitmap\n"), 1;
    const DWORD size = SizeofResource(module, found);
    const auto* dib = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    // A .bmp file is the resource's bitmap behind a file header.
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfSize = static_cast<DWORD>(sizeof header + size);
    header.bfOffBits = static_cast<DWORD>(sizeof header + sizeof(BITMAPINFOHEADER) + 16 * sizeof(RGBQUAD));
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return std::printf("cannot write %s\n", path), 1;
    const bool written = std::fwrite(&header, sizeof header, 1, file) == 1 && std::fwrite(dib, size, 1, file) == 1;
    return std::fclose(file) == 0 && written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    HMODULE module = LoadLibraryA("tesmora.xfm");
    if (module == nullptr) return std::printf("cannot load tesmora.xfm\n"), 1;
    if (what == "toolbar" && argc > 2) return writeToolbar(module, argv[2]);

    auto xfmSetup = reinterpret_cast<decltype(&XfmSetup)>(reinterpret_cast<void*>(GetProcAddress(module, "XfmSetup")));
    auto xfmDo = reinterpret_cast<decltype(&XfmDo)>(reinterpret_cast<void*>(GetProcAddress(module, "XfmDo")));
    std::int32_t noStop = 0;
    XfmContext context{};
    context.channels = 1;
    context.bitsPerSample = 16;
    context.frameSize = 2;
    context.selectionStart = 1000;
    context.selectionEnd = 1500;  // 501 samples: one more than is done without asking
    context.cancelFlag = &noStop;

    HANDLE watcher = CreateThread(nullptr, 0, watchForBox, nullptr, 0, nullptr);
    if (what == "question") {
        // The editor's main window, which owns the question.
        ownerWindow = CreateWindowA("STATIC", "Editor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 200, nullptr,
                                    nullptr, nullptr, nullptr);
        const std::int32_t result = xfmSetup(ownerWindow, 0, &context);
        std::printf("XfmSetup returned %d\n", result);
    } else if (what == "error") {
        context.bitsPerSample = 8;
        const std::int32_t result = xfmDo(&context);
        std::printf("XfmDo returned %d\n", result);
    } else {
        std::printf("usage: tesmora_real_boxes question | error | toolbar FILE.bmp\n");
        return 2;
    }
    WaitForSingleObject(watcher, 90000);
    return 0;
}
