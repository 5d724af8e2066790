# Cross-building for another Linux processor with Debian's cross compilers,
# running the programs and tests under qemu-user:
#   cmake -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/cross-linux-gnu.cmake -DV2LIST_CROSS=s390x
# V2LIST_CROSS names the processor as Debian does (s390x, aarch64, i386).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${V2LIST_CROSS})
set(triplet ${V2LIST_CROSS}-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${V2LIST_CROSS};-L;/usr/${triplet})
if(V2LIST_CROSS STREQUAL "i386")
  # An x86-64 processor runs i386 programs itself, where its kernel lets it:
  # only their C library comes from the cross compiler's folder, through its
  # loader. Elsewhere they run under qemu-user like the others.
  set(triplet i686-linux-gnu)
  execute_process(COMMAND /usr/${triplet}/lib/ld-linux.so.2 --version
                  RESULT_VARIABLE runs_natively OUTPUT_QUIET ERROR_QUIET)
  if(runs_natively EQUAL 0)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        /usr/${triplet}/lib/ld-linux.so.2;--library-path;/usr/${triplet}/lib)
  else()
    set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386;-L;/usr/${triplet})
  endif()
endif()
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
