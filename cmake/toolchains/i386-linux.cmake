# 32-bit x86 Linux (SSE2), linked statically so that qemu-i386-static runs the
# programs on an x86-64 machine without 32-bit libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_ASM_FLAGS_INIT "-m32")
# glibc warns that a static program would need its own shared libraries for
# name lookups; the tests make none.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static -Wl,--no-warnings")
find_program(QEMU_I386 qemu-i386-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QEMU_I386})
