# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (POSIX thread
# model, so that std::thread works). Everything is linked statically: the
# executables need no DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# GCC turns short copy loops (the span insertion's walk-start marks, a few
# entries each) into calls to memmove. The C runtime's memmove takes several
# times glibc's instructions for such short moves (about 70 against 13 under
# Wine, some hundred thousand calls a frame), so the loops stay loops here.
# Nothing else in the program loses a library call by it.
set(CMAKE_C_FLAGS_INIT "-fno-tree-loop-distribute-patterns")
set(CMAKE_CXX_FLAGS_INIT "-fno-tree-loop-distribute-patterns")
