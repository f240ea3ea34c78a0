# Shared build settings and the helpers every folder uses.
include_guard(GLOBAL)

add_library(zx_options INTERFACE)
target_include_directories(zx_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(zx_options INTERFACE
  -Wall -Wextra -Wno-unused-parameter -Wshadow -Wmissing-declarations
  $<$<BOOL:${ZX_WERROR}>:-Werror>)
# The system's COM interfaces have public non-virtual destructors by design (Release destroys), so
# every class implementing one would warn; our own interfaces are checked in the native builds.
if(NOT WIN32)
  target_compile_options(zx_options INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
endif()
if(WIN32)
  # UNICODE so that the W entry points are the default; lean headers keep min/max macros away.
  target_compile_definitions(zx_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_link_options(zx_options INTERFACE -static -static-libgcc -static-libstdc++)
else()
  find_package(Threads REQUIRED)
  target_link_libraries(zx_options INTERFACE Threads::Threads ${CMAKE_DL_LIBS})
endif()
if(ZX_SANITIZE)
  list(JOIN ZX_SANITIZE "," _zx_san)
  target_compile_options(zx_options INTERFACE -fsanitize=${_zx_san} -fno-omit-frame-pointer
    -fno-sanitize-recover=all)
  target_link_options(zx_options INTERFACE -fsanitize=${_zx_san})
endif()

# zx_bz2: libbz2 for the EEPROM's packed defect lists and the simulator that packs them; Debian's
# natively, the one tools/setup.sh cross-builds for Windows.
if(NOT TARGET zx_bz2)
  add_library(zx_bz2 INTERFACE)
  if(WIN32)
    find_library(ZX_BZ2_LIB NAMES bz2 REQUIRED)
    find_path(ZX_BZ2_INCLUDE bzlib.h REQUIRED)
    target_link_libraries(zx_bz2 INTERFACE ${ZX_BZ2_LIB})
    target_include_directories(zx_bz2 INTERFACE ${ZX_BZ2_INCLUDE})
  else()
    find_package(BZip2 REQUIRED)
    target_link_libraries(zx_bz2 INTERFACE BZip2::BZip2)
  endif()
endif()

# zx_library(name SOURCES ... [LIBS ...]): a static library of the product.
function(zx_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_link_libraries(${name} PUBLIC zx_options ${A_LIBS})
endfunction()

# zx_test(name SOURCES ... [LIBS ...] [LABELS ...] [WINE_ONLY] [NATIVE_ONLY] [NEEDS_DISPLAY])
# One googletest executable, registered as one ctest test. In the cross build ctest runs it
# through wine in the build tree's own prefix.
function(zx_test name)
  cmake_parse_arguments(A "WINE_ONLY;NATIVE_ONLY;NEEDS_DISPLAY" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(A_WINE_ONLY AND NOT WIN32)
    return()
  endif()
  if(A_NATIVE_ONLY AND WIN32)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE zx_options ${A_LIBS} zx_gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${A_LABELS}")
  if(WIN32)
    zx_wine_test_properties(${name})
    if(A_NEEDS_DISPLAY)
      zx_wine_needs_display(${name})
    endif()
  endif()
endfunction()

# Tests that run under wine share one prefix below the build tree, made once by a fixture.
# They also share one real registry, so they take turns with it.
function(zx_wine_test_properties test)
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "WINEPREFIX=${ZX_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml="
    FIXTURES_REQUIRED zx_wineprefix
    RESOURCE_LOCK zx_wine_registry)
endfunction()

if(WIN32)
  set(ZX_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix CACHE INTERNAL "")
  # Extra test steps run wine through this too (for example: ${ZX_WINE_RUN} regsvr32 /s module).
  set(ZX_WINE_RUN ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh CACHE INTERNAL "")
endif()

# --- Wine harness helpers (DirectShow base layer) -------------------------------------------
# zx_wine_needs_display(test): a test (named as its executable target) whose windows need an
# X display. ./test and CI run the windows ctest under xvfb-run; a run without DISPLAY reports
# the test as skipped (cmake/wine-display.sh).
function(zx_wine_needs_display test)
  set_target_properties(${test} PROPERTIES
    CROSSCOMPILING_EMULATOR "sh;${PROJECT_SOURCE_DIR}/cmake/wine-display.sh")
  set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77)
  set_property(TEST ${test} APPEND PROPERTY LABELS display)
endfunction()
# --- end of the wine harness helpers ----------------------------------------------------------
