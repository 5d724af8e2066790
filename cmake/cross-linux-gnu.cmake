# Cross-building for another Linux processor with Debian's cross compilers,
# running the programs and tests under qemu-user:
#   cmake -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/cross-linux-gnu.cmake -DV2LIST_CROSS=s390x
# V2LIST_CROSS names the processor as Debian's triplets do (s390x, aarch64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${V2LIST_CROSS})
set(triplet ${V2LIST_CROSS}-linux-gnu)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${V2LIST_CROSS};-L;/usr/${triplet})
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
