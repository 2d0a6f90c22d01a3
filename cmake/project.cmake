# Compiler settings, dependencies and test helpers shared by every subsystem.

add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(SETUP_WINDOWS ON)
  # Every test program runs under Wine, in one prefix per build tree.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SETUP_WINE_KIND win64)
  else()
    set(SETUP_WINE_KIND wow64)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_SOURCE_DIR}/scripts/wine-run ${SETUP_WINE_KIND} ${CMAKE_BINARY_DIR}/wineprefix)
endif()

if(SETUP_FUZZ)
  # Every library gets libFuzzer's coverage instrumentation, so the fuzzers see the code they test.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
                      -fsanitize=fuzzer-no-link)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(ZLIB REQUIRED)
find_library(LIBLZMA_LIBRARY NAMES lzma liblzma.a REQUIRED)
find_path(LIBLZMA_INCLUDE_DIR lzma.h REQUIRED)
add_library(liblzma STATIC IMPORTED GLOBAL)
set_target_properties(liblzma PROPERTIES IMPORTED_LOCATION ${LIBLZMA_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${LIBLZMA_INCLUDE_DIR})
if(WIN32)
  # The static liblzma built for the target expects no import declarations.
  set_target_properties(liblzma PROPERTIES INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
endif()

if(SETUP_FUZZ)
  return()
endif()

# GoogleTest from Debian's source package, built with this tree's compiler.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

enable_testing()

# setup_test(NAME SOURCES ... LIBS ... [LABELS ...] [GUI [SCREEN WxHxD]])
# One test program, registered as one CTest test (a program start under Wine is the costly part).
# GUI programs run on a virtual display (xvfb-run; 1024x768x24 unless SCREEN says otherwise) in a
# prefix of their own, whose wineserver ends before the display does: a Wine desktop bound to a
# vanished display hangs the prefix's other programs.
function(setup_test name)
  cmake_parse_arguments(T "GUI" "SCREEN" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT T_SCREEN)
    set(T_SCREEN 1024x768x24)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  if(T_GUI AND SETUP_WINDOWS)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E env SETUP_WINE_WAIT=1
      xvfb-run -a -s "-screen 0 ${T_SCREEN}"
      ${CMAKE_SOURCE_DIR}/scripts/wine-run ${SETUP_WINE_KIND} ${CMAKE_BINARY_DIR}/wineprefix-gui
      $<TARGET_FILE:${name}> --gtest_brief=1)
    # The GUI suites take turns in one prefix: a cost makes a fresh tree (no timings yet) start
    # that chain early instead of last.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wineprefix-gui COST 40)
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  endif()
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 600)
endfunction()
