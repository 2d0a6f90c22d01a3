# Cross-compiling for 64-bit Windows with mingw-w64 (posix threads). Used to run the test suites
# under a native 64-bit Wine where 32-bit programs can only run emulated.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
