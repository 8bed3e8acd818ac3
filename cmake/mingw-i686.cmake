# Cross build for 32-bit Windows with mingw-w64; everything is linked statically so install.exe
# runs alone.
#
# The thread model (KQ_THREADS): GoogleTest needs std::mutex, which GCC 12 has only with the
# posix model, whose runtime brings winpthread along (some 25 KiB of install.exe). The program
# starts no thread and its code compiles to the same objects under either model, so a tree
# without the tests builds it with the win32 model, as it is shipped.
if(NOT KQ_THREADS)
  if(DEFINED KQ_TESTS AND NOT KQ_TESTS)
    set(KQ_THREADS win32)
  else()
    set(KQ_THREADS posix)
  endif()
endif()
set(KQ_THREADS ${KQ_THREADS} CACHE STRING "mingw-w64 thread model: win32 or posix")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KQ_THREADS)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${KQ_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${KQ_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Stack canaries in every function with a local array or a local whose address is taken
# (-strong). install.exe seeds the canary itself (app/StackGuard.cpp); other programs link
# libssp's, statically like the rest.
set(CMAKE_C_FLAGS_INIT "-fstack-protector-strong")
set(CMAKE_CXX_FLAGS_INIT "-fstack-protector-strong")
# Optimised for size: the program waits on the disk, not on its own code, and every KiB of
# install.exe is downloaded with each service pack.
# (Cached, as CMake would append its -O3 to an _INIT value.)
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG" CACHE STRING "")
