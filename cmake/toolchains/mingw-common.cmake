# What both mingw-w64 targets share; QUORVIL_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUORVIL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVIL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVIL_MINGW_TRIPLE}-windres)

# GCC 12's -Wrestrict misfires on std::string concatenation at -O2 and above
# with mingw-w64's libstdc++ (GCC bug 105651), in code that has no fault.
string(APPEND CMAKE_CXX_FLAGS_INIT " -Wno-restrict")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Libraries built for this target (libpng, GoogleTest) live in a prefix of
# the build folder; zlib comes from Debian's libz-mingw-w64-dev.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVIL_MINGW_TRIPLE})
if(QUORVIL_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QUORVIL_DEPS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The static zlib, not its import library.
set(ZLIB_LIBRARY /usr/${QUORVIL_MINGW_TRIPLE}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${QUORVIL_MINGW_TRIPLE}/include CACHE PATH "")

# Test programs cannot run while building (and the 32-bit ones not at all
# here): list their tests when CTest runs them.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
