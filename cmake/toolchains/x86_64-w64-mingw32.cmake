# Cross-building the Windows program with Debian's mingw-w64 (POSIX thread
# model, so std::thread and std::mutex work), linked statically: the .exe
# needs only the DLLs that Windows itself has.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUORVIL_MINGW_TRIPLE x86_64-w64-mingw32)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
