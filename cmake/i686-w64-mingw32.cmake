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

# Tests run under wine where the machine has it; the module and the programs
# build without it (on a machine that cannot run 32-bit code at all, the
# module is tested under the emulated caller instead).
find_program(TESMORA_WINE wine)
if(TESMORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESMORA_WINE})
endif()

# The 32-bit Windows convention promises a caller's stack aligned to 4 bytes
# only, and hosts built by other compilers call with exactly that; GCC would
# otherwise assume 16 and keep SSE values in stack slots with aligned loads and
# stores, which fault on such a stack. With this, a function that needs an
# aligned slot aligns its own frame.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2")

# Everything the compiler brings (libgcc, libstdc++, winpthread) is linked in:
# the module and the test programs need no DLL but the system's.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
