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

# zx_bounded_runner(out timeout): the command prefix under which a test still running shortly
# before its ctest time-out prints every thread's stack before it is killed (cmake/run-bounded.sh).
function(zx_bounded_runner out timeout)
  math(EXPR bound "${timeout} - 10 - ${timeout} / 20")
  if(bound LESS 5)
    set(bound 5)
  endif()
  set(${out} sh ${PROJECT_SOURCE_DIR}/cmake/run-bounded.sh ${bound} PARENT_SCOPE)
endfunction()

# zx_test(name SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT s] [SHARDS n] [WINE_ONLY]
#         [NATIVE_ONLY] [NEEDS_DISPLAY] [READS_PREFIX_ONLY])
# One googletest executable, registered as one ctest test, or as n tests (name, name_1, ...) that
# each run every n-th case side by side. In the cross build ctest runs it through wine in the build
# tree's own prefix: suites of the portable layers keep their settings in a registry of their own,
# as they do natively, and run beside the rest; suites of the OS seam, the filter and the pages
# (ZX_TEST_OS_REGISTRY in their folder) take turns with the prefix's registry unless they only
# read it (READS_PREFIX_ONLY).
function(zx_test name)
  cmake_parse_arguments(A "WINE_ONLY;NATIVE_ONLY;NEEDS_DISPLAY;READS_PREFIX_ONLY" "TIMEOUT;SHARDS"
                        "SOURCES;LIBS;LABELS" ${ARGN})
  if(A_WINE_ONLY AND NOT WIN32)
    return()
  endif()
  if(A_NATIVE_ONLY AND WIN32)
    return()
  endif()
  set(private_registry OFF)
  if(WIN32 AND NOT ZX_TEST_OS_REGISTRY)
    set(private_registry ON)
    list(APPEND A_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/private_registry.cpp)
    list(APPEND A_LIBS zx_platform)
  endif()
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE zx_options ${A_LIBS} zx_gtest_main)
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  if(NOT A_SHARDS)
    set(A_SHARDS 1)
  endif()
  if(WIN32 AND A_NEEDS_DISPLAY)
    # Windows need an X display: ./test and CI run the windows ctest under xvfb-run; a run without
    # DISPLAY reports the test as skipped (cmake/wine-display.sh).
    set_target_properties(${name} PROPERTIES
      CROSSCOMPILING_EMULATOR "sh;${PROJECT_SOURCE_DIR}/cmake/wine-display.sh")
  endif()
  # The cross build's program goes through its wine runner inside the bounded one.
  zx_bounded_runner(runner ${A_TIMEOUT})
  if(WIN32 AND A_NEEDS_DISPLAY)
    list(APPEND runner sh ${PROJECT_SOURCE_DIR}/cmake/wine-display.sh)
  elseif(WIN32)
    list(APPEND runner ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
  math(EXPR last "${A_SHARDS} - 1")
  foreach(shard RANGE ${last})
    set(test ${name})
    if(shard GREATER 0)
      set(test ${name}_${shard})
    endif()
    add_test(NAME ${test} COMMAND ${runner} $<TARGET_FILE:${name}> --gtest_brief=1)
    set_tests_properties(${test} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${A_LABELS}")
    if(WIN32)
      if(private_registry OR A_READS_PREFIX_ONLY)
        zx_wine_test_environment(${test})
      else()
        zx_wine_test_properties(${test})
      endif()
      if(A_NEEDS_DISPLAY)
        set_tests_properties(${test} PROPERTIES SKIP_RETURN_CODE 77)
        set_property(TEST ${test} APPEND PROPERTY LABELS display)
      endif()
    endif()
    if(A_SHARDS GREATER 1)
      set_property(TEST ${test} APPEND PROPERTY
                   ENVIRONMENT "GTEST_TOTAL_SHARDS=${A_SHARDS};GTEST_SHARD_INDEX=${shard}")
      # Long suites start first when no earlier run has timed them.
      set_tests_properties(${test} PROPERTIES COST 1000)
    endif()
  endforeach()
endfunction()

# Tests that run under wine share one prefix below the build tree, made once by a fixture.
function(zx_wine_test_environment test)
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "WINEPREFIX=${ZX_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml="
    FIXTURES_REQUIRED zx_wineprefix)
endfunction()

# Those that write the prefix's one real registry take turns with it.
function(zx_wine_test_properties test)
  zx_wine_test_environment(${test})
  set_tests_properties(${test} PROPERTIES RESOURCE_LOCK zx_wine_registry)
endfunction()

if(WIN32)
  set(ZX_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix CACHE INTERNAL "")
  # Extra test steps run wine through this too (for example: ${ZX_WINE_RUN} regsvr32 /s module).
  set(ZX_WINE_RUN ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh CACHE INTERNAL "")
endif()

