# Cross build for 32-bit Windows with MinGW-w64; tests run under 32-bit Wine, or are skipped
# with the reason where it cannot run them.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/../tests/win32/under_wine.sh
  /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
