# Cross build for 64-bit Windows with MinGW-w64, to run the Windows suites under wine64 on
# machines that cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/../tests/win32/under_wine.sh
  /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
