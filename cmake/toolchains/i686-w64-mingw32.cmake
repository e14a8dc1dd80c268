# Cross-building the Windows program with Debian's mingw-w64 (POSIX thread
# model, so std::thread and std::mutex work), linked statically: the .exe
# needs only the DLLs that Windows itself has.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUORVIL_MINGW_TRIPLE i686-w64-mingw32)

# The target processor is 32-bit x86 with SSE2. SSE arithmetic also keeps
# doubles at 64 bits (no x87 excess precision).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
