# Cross-compiling the Qt-free layers for Windows with MinGW-w64 (g++-mingw-w64-x86-64-posix, whose
# posix thread model std::thread needs). scripts/test-windows builds them with their test suites
# and runs those under Wine:
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#     -DCMAKE_PROJECT_TOP_LEVEL_INCLUDES=cmake/googletest-from-source.cmake \
#     -DQUORVEL_BUILD_UI=OFF -DQUORVEL_BUILD_BENCH=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The host's packages (its GoogleTest, for one) are Linux libraries.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The executables carry the C++ and thread runtimes in themselves: no MinGW DLL to ship with them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
