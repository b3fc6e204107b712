# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX
# threads flavour, whose libstdc++ has std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LEVELNET_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LEVELNET_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEVELNET_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LEVELNET_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${LEVELNET_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${LEVELNET_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the MinGW sysroot and from the prefixes
# given in CMAKE_PREFIX_PATH (Qt, libxlsxwriter, GoogleTest built for
# Windows); programs (moc, uic, rcc) from the build machine.
# LEVELNET_WINDOWS_PREFIXES lists the prefixes built for Windows (Qt,
# GoogleTest, libxlsxwriter); they are searched like the sysroot.
set(LEVELNET_WINDOWS_PREFIXES "" CACHE STRING "Prefixes of libraries built for Windows")
set(CMAKE_FIND_ROOT_PATH /usr/${LEVELNET_MINGW_TRIPLE} ${LEVELNET_WINDOWS_PREFIXES})
list(APPEND CMAKE_PREFIX_PATH ${LEVELNET_WINDOWS_PREFIXES})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES LEVELNET_WINDOWS_PREFIXES)
# pkg-config sees the Windows libraries only, never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${LEVELNET_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs built here run under Wine (try_run, gtest_discover_tests, tests).
# wine-run.sh chooses the Wine prefix and silences Wine's own diagnostics.
find_program(LEVELNET_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(LEVELNET_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()
