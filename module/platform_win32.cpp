// The platform services on Windows: USER32 message boxes, KERNEL32 fixed
// global memory and text copy.
#include <windows.h>

#include "messages.h"
#include "platform.h"

namespace tesmora::platform {

void showError(const char* text) {
    MessageBoxA(nullptr, text, kModuleTitle, MB_OK | MB_ICONERROR);
}

Answer askYesNo(void* ownerWindow, const char* text) {
    switch (MessageBoxA(static_cast<HWND>(ownerWindow), text, kModuleTitle, MB_YESNO | MB_ICONQUESTION)) {
        case IDNO: return Answer::no;
        case 0: return Answer::failed;
        default: return Answer::yes;
    }
}

void* allocateBlock(std::uint32_t byteCount) {
    return GlobalAlloc(GMEM_FIXED, byteCount);
}

void releaseBlock(void* block) {
    GlobalFree(block);
}

void copyText(char* destination, const char* source) {
    lstrcpyA(destination, source);
}

}  // namespace tesmora::platform
