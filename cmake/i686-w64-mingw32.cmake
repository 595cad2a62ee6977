# Cross build for 32-bit Windows with mingw-w64 (the posix thread flavour, which
# GoogleTest needs for std::mutex). Programs built here run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TESMORA_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TESMORA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESMORA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESMORA_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${TESMORA_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${TESMORA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(TESMORA_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${TESMORA_WINE})

# Everything the compiler brings (libgcc, libstdc++, winpthread) is linked in:
# the module and the test programs need no DLL but the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
