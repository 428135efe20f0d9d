# Cross-compiling for 64-bit Windows with Debian's mingw-w64 toolchain (the
# posix-threads variant, so std::thread and std::mutex work):
#   cmake -S windows -B build-windows/app -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TESSEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSEL_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TESSEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
