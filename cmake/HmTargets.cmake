# Helpers that every subsystem's CMakeLists.txt uses. They keep the portable/Windows split,
# the folder libraries and the test labels in one place:
#   hm_portable_sources(<files>...)   code that compiles everywhere (no <windows.h>)
#   hm_win_sources(<files>...)        *_win.cpp files of the 32-bit plugin
#   hm_win_libraries(<libs>...)       Windows libraries the folder's *_win.cpp files call
#   hm_folder_library(<var>)          the folder's library target (hm_<folder>), made on first use
#   hm_native_test(<name> LABELS <l>... SOURCES <f>... [LIBS <lib>...])   host only
#   hm_wine_test(<name> LABELS <l>... SOURCES <f>... [LIBS <lib>...] [TIMEOUT s])  win32 only, runs under Wine
#   hm_wine64_test(<name> ...)        win64 only (the browser helper), runs under 64-bit Wine;
#                                     links only the LIBS it names
#   hm_benchmark(<name> SOURCES <f>...)  host only, Google Benchmark, not run by the tests
#
# Each plugin folder is one static library, hm_<folder>, holding its portable files (every
# build) and its *_win.cpp files (win32). hm_link_floors() links each library to the floors below
# it, so the target graph shows the same floors as tools/check_layers.py.

function(hm_folder_library out)
  get_filename_component(sub ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(lib hm_${sub})
  if(NOT TARGET ${lib})
    add_library(${lib} STATIC)
    if(HM_TARGET STREQUAL "win64")
      # The browser helper needs a few floors only; the rest is the host's and win32's to build.
      set_target_properties(${lib} PROPERTIES EXCLUDE_FROM_ALL ON)
    endif()
    target_include_directories(${lib} PUBLIC ${CMAKE_SOURCE_DIR})
    target_compile_options(${lib} PRIVATE ${HM_WARNINGS})
    set_property(GLOBAL APPEND PROPERTY HM_FOLDER_LIBRARIES ${sub})
  endif()
  set(${out} ${lib} PARENT_SCOPE)
endfunction()

function(hm_portable_sources)
  hm_folder_library(lib)
  target_sources(${lib} PRIVATE ${ARGN})
endfunction()

function(hm_win_sources)
  if(HM_TARGET STREQUAL "win32")
    hm_folder_library(lib)
    target_sources(${lib} PRIVATE ${ARGN})
  endif()
endfunction()

function(hm_win_libraries)
  if(HM_TARGET STREQUAL "win32")
    hm_folder_library(lib)
    target_link_libraries(${lib} PUBLIC ${ARGN})
  endif()
endfunction()

# The floors, lowest first. A folder's library links every library of the floors below it.
function(hm_link_floors)
  get_property(made GLOBAL PROPERTY HM_FOLDER_LIBRARIES)
  set(below "")
  foreach(floor IN ITEMS "base" "net;ui;game" "computer;games;phone;photos;voice;npc;tv;vehicle;update" "core")
    set(here "")
    foreach(sub IN LISTS floor)
      if(sub IN_LIST made)
        list(APPEND here hm_${sub})
        if(below)
          target_link_libraries(hm_${sub} PUBLIC ${below})
        endif()
      endif()
    endforeach()
    list(APPEND below ${here})
  endforeach()
  # Everything portable (and, in win32, the plugin's Windows shell) for tests and programs.
  target_link_libraries(hm_portable INTERFACE ${below})
endfunction()

# GoogleTest's and GoogleMock's headers cost a good part of every test file's compile: the
# compiler reads them once per build folder from a precompiled header that all test programs
# share (they all compile with the same options and definitions, which clang insists on).
#   _hm_test_pch(<test target> <libraries the test links>...)
function(_hm_test_pch name)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "^(GNU|Clang)$" OR NOT HM_TEST_PCH)
    return()
  endif()
  if(NOT TARGET hm_test_pch)
    file(WRITE ${CMAKE_BINARY_DIR}/hm_test_pch.cpp "// the shared precompiled header of the test programs\n")
    add_library(hm_test_pch OBJECT ${CMAKE_BINARY_DIR}/hm_test_pch.cpp)
    target_compile_options(hm_test_pch PRIVATE ${HM_WARNINGS} ${HM_TEST_COMPILE_OPTIONS})
    target_link_libraries(hm_test_pch PRIVATE ${ARGN})
    target_precompile_headers(hm_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h> <string> <vector> <map>
                              <memory> <functional> <chrono> <thread> <atomic> <mutex>)
  endif()
  target_precompile_headers(${name} REUSE_FROM hm_test_pch)
endfunction()

function(hm_native_test name)
  if(NOT HM_TARGET STREQUAL "host")
    return()
  endif()
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${HM_WARNINGS} ${HM_TEST_COMPILE_OPTIONS})
  target_link_libraries(${name} PRIVATE hm_portable ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  _hm_test_pch(${name} hm_portable GTest::gtest GTest::gmock Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  set_property(GLOBAL APPEND PROPERTY HM_NATIVE_TESTS ${name})
endfunction()

function(hm_wine_test name)
  if(NOT HM_TARGET STREQUAL "win32")
    return()
  endif()
  _hm_windows_test(${name} ${ARGN})
endfunction()

function(hm_wine64_test name)
  if(NOT HM_TARGET STREQUAL "win64")
    return()
  endif()
  _hm_windows_test(${name} ${ARGN})
endfunction()

function(_hm_windows_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${HM_WARNINGS} ${HM_TEST_COMPILE_OPTIONS})
  if(HM_TARGET STREQUAL "win32")
    target_link_libraries(${name} PRIVATE hm_plugin_win)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main gmock)
  if(HM_TARGET STREQUAL "win32")
    _hm_test_pch(${name} hm_plugin_win gtest gmock)
  else()
    _hm_test_pch(${name} gtest gmock)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(HM_WINE_LANES GREATER 1)
    # A lane of its own (wine-lane.sh), so that two tests never share a prefix or a wineserver.
    add_test(NAME ${name} COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/wine-lane.sh ${CMAKE_BINARY_DIR}/wine-${HM_TARGET}
             ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${HM_TARGET} $<TARGET_FILE:${name}> --gtest_brief=1)
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS};wine" TIMEOUT ${T_TIMEOUT}
                       FIXTURES_REQUIRED wine_session)
  if(HM_WINE_LANES LESS 2 OR name IN_LIST HM_ALONE_TESTS)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
  _hm_test_cost(${name})
endfunction()

function(hm_benchmark name)
  if(NOT HM_TARGET STREQUAL "host" OR NOT benchmark_FOUND)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${HM_WARNINGS})
  target_link_libraries(${name} PRIVATE hm_portable ${T_LIBS} benchmark::benchmark_main)
endfunction()

# One Xvfb and one persistent wineserver per lane for the whole ctest run, started and stopped
# by fixture tests so that `ctest -L wine` or `ctest -R one_test` work on their own.
#   hm_wine_session_fixture([lanes])
function(hm_wine_session_fixture)
  set(lanes 1)
  if(ARGC GREATER 0)
    set(lanes ${ARGV0})
  endif()
  set(session ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh)
  add_test(NAME wine_session_start COMMAND bash ${session} start ${CMAKE_BINARY_DIR} ${HM_TARGET} ${lanes})
  add_test(NAME wine_session_stop COMMAND bash ${session} stop ${CMAKE_BINARY_DIR} ${HM_TARGET})
  set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session LABELS wine TIMEOUT 180)
  set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session LABELS wine TIMEOUT 60)
  _hm_test_cost(wine_session_start)
endfunction()

# A native GoogleTest executable that drives 32-bit Windows programs under Wine (end-to-end
# scenarios, transport tests against the fake API). Host build only. The test gets:
#   HM_WIN32_BIN   the win32 build's bin folder (programs, HM_Plugin.dll)
#   HM_WINE_RUN    the runner script: "$HM_WINE_RUN" win32 <exe> [args...]
#   HM_WINE_SESSION the session file of this build's Wine session (the runner uses it)
#   HM_SOURCE_DIR  the source tree
# Each scenario takes a Wine lane of its own for its whole run (cmake/wine-lane.sh): HM_WINE_LANES
# sessions, so that `ctest -j2` runs two scenarios at once without their prefixes meeting.
#   hm_wine_driver_test(<name> [WOW64] LABELS <l>... SOURCES <f>... [LIBS <lib>...] [TIMEOUT s])
# WOW64: the scenario runs in the build folder's 64-bit prefix (made once, reused), where the
# 32-bit game can start the 64-bit browser helper; HM_WIN64_BIN names the win64 build's bin folder.
function(hm_wine_driver_test name)
  if(NOT HM_TARGET STREQUAL "host")
    return()
  endif()
  cmake_parse_arguments(T "WOW64" "TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  if(NOT HM_WIN32_BUILD)
    message(STATUS "${name}: no HM_WIN32_BUILD given, skipped")
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${HM_WARNINGS} ${HM_TEST_COMPILE_OPTIONS})
  target_link_libraries(${name} PRIVATE hm_portable ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  _hm_test_pch(${name} hm_portable GTest::gtest GTest::gmock Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set(fixture wine_session)
  set(lane0 ${CMAKE_BINARY_DIR}/wine-win32)
  if(T_WOW64)
    if(NOT TEST wow64_session_start)
      # The 64-bit prefix of this build folder; wine-session.sh makes it only when it is missing.
      set(script ${CMAKE_SOURCE_DIR}/cmake/wine-session.sh)
      add_test(NAME wow64_session_start COMMAND bash ${script} start ${CMAKE_BINARY_DIR} win64)
      add_test(NAME wow64_session_stop COMMAND bash ${script} stop ${CMAKE_BINARY_DIR} win64)
      set_tests_properties(wow64_session_start PROPERTIES FIXTURES_SETUP wow64_session LABELS wine TIMEOUT 300)
      set_tests_properties(wow64_session_stop PROPERTIES FIXTURES_CLEANUP wow64_session LABELS wine TIMEOUT 60)
      _hm_test_cost(wow64_session_start)
    endif()
    set(fixture wow64_session)
    set(lane0 ${CMAKE_BINARY_DIR}/wine-win64)
  endif()
  add_test(NAME ${name} COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/wine-lane.sh ${lane0} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    LABELS "${T_LABELS};wine"
    TIMEOUT ${T_TIMEOUT}
    FIXTURES_REQUIRED ${fixture}
    ENVIRONMENT "HM_WIN32_BIN=${HM_WIN32_BUILD}/bin;HM_WIN64_BIN=${HM_WIN64_BUILD}/bin;HM_WINE_RUN=${CMAKE_SOURCE_DIR}/cmake/wine-run.sh;HM_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  _hm_test_cost(${name})
  # Shares of the machine, which CTest counts when given cmake/ctest-cpu.json (tools/test.sh):
  # a scenario whose game keeps drawing takes two of the four, one that mostly waits on its own
  # clocks takes one, so that a third lane takes up a waiting scenario but never a third game.
  if(name IN_LIST HM_WAITING_TESTS)
    set_tests_properties(${name} PROPERTIES RESOURCE_GROUPS "cpu:1")
  else()
    set_tests_properties(${name} PROPERTIES RESOURCE_GROUPS "cpu:2")
  endif()
  # One lane: the scenarios run one after another, as a lane's wait would otherwise count against
  # a waiting test's time-out.
  if(HM_WINE_LANES LESS 2 OR name IN_LIST HM_ALONE_TESTS)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

# Tests that hold the game or the helper to wall-clock windows of a few seconds (the TV picture's
# 3.5 s deadline, the helper's 8 s heartbeat, speech cut while it plays): they run with no other
# test beside them.
set(HM_ALONE_TESTS tv_e2e_test npc_e2e_test tv_win_test)

# Driver tests that keep less than a core busy, measured alone on 2 cores (busy CPU / wall):
# the update download 0.22, the session scenario 0.16 (they wait on the fake API's pacing and the
# plugin's poll and retry clocks), the transport tests 0.59, the start-up scenario 0.72. The
# others keep a core or more busy (a drawing game: 0.96 to 1.3).
set(HM_WAITING_TESTS package_download_driver_test session_e2e_test api_request_driver_test startup_e2e_test)

# Files of test hooks (*_testhooks_win.cpp): exports that change state for tests, built only into
# HM_Plugin_testhooks.dll, never into the shipped HM_Plugin.dll.
function(hm_testhooks_sources)
  if(HM_TARGET STREQUAL "win32")
    foreach(f IN LISTS ARGN)
      set_property(GLOBAL APPEND PROPERTY HM_TESTHOOKS_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/${f})
    endforeach()
  endif()
endfunction()

# libFuzzer targets (the `fuzz` preset: clang-14, -DHM_FUZZ=ON; host only). Each <name> is a
# program bin/<name> whose seed corpus is <folder>/fuzz_corpus/<name>/ and whose dictionary, when
# it helps, is <folder>/fuzz_corpus/<name>.dict. tools/fuzz.sh runs them all for a time; CTest
# (label `fuzz`) runs each for HM_FUZZ_RUNS inputs. Targets written as a plain add_executable
# named *_fuzz inside `if(HM_FUZZ AND HM_TARGET STREQUAL "host")` join the same way
# (hm_register_fuzz_targets() finds them at the end of the configure).
#   hm_fuzz_target(<name> SOURCES <f>... [LIBS <lib>...] [DEFINITIONS <d>...])
set(HM_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)
set(HM_FUZZ_RUNS 20000 CACHE STRING "inputs each fuzz target runs in the CTest short run")

function(hm_fuzz_target name)
  if(NOT HM_FUZZ OR NOT HM_TARGET STREQUAL "host")
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;DEFINITIONS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE ${T_DEFINITIONS})
  target_compile_options(${name} PRIVATE ${HM_WARNINGS} ${HM_FUZZ_FLAGS})
  target_link_options(${name} PRIVATE ${HM_FUZZ_FLAGS})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
endfunction()

# Every executable named *_fuzz in the tree (however it was declared): a CTest short run and the
# `fuzz_targets` build target. Called once, at the end of the top-level CMakeLists.txt.
function(_hm_collect_fuzz dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(found "")
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE" AND t MATCHES "_fuzz$")
      list(APPEND found "${t}|${dir}")
    endif()
  endforeach()
  get_property(subs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(s IN LISTS subs)
    _hm_collect_fuzz(${s} more)
    list(APPEND found ${more})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# `native_tests`: every native test program and nothing else (the sanitizer build makes only these).
function(hm_register_native_tests)
  get_property(names GLOBAL PROPERTY HM_NATIVE_TESTS)
  if(names)
    add_custom_target(native_tests DEPENDS ${names})
  endif()
endfunction()

function(hm_register_fuzz_targets)
  if(NOT HM_FUZZ OR NOT HM_TARGET STREQUAL "host")
    return()
  endif()
  _hm_collect_fuzz(${CMAKE_SOURCE_DIR} found)
  set(names "")
  foreach(entry IN LISTS found)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 dir)
    list(APPEND names ${name})
    add_test(NAME ${name}_short
             COMMAND bash ${CMAKE_SOURCE_DIR}/tools/fuzz_run.sh $<TARGET_FILE:${name}> ${dir}/fuzz_corpus/${name}
                     runs ${HM_FUZZ_RUNS})
    set_tests_properties(${name}_short PROPERTIES LABELS fuzz TIMEOUT 300)
  endforeach()
  add_custom_target(fuzz_targets DEPENDS ${names})
endfunction()

# Rough seconds of the long tests on a 2-core machine: CTest starts the costliest first, so that
# under -j2 no long scenario is left to run alone at the end. A build folder that has run its
# tests once orders by its own measured times instead (Testing/Temporary/CTestCostData.txt).
# The session starts come first: every Wine test waits for them.
set(HM_TEST_COSTS
  wine_session_start 1000  wow64_session_start 1000
  soak_e2e_test 260  graphics_e2e_test 200  fake_game_e2e_test 150  startup_e2e_test 130
  vehicle_e2e_test 130  voice_e2e_test 105  computer_e2e_test 105  session_e2e_test 95
  package_download_driver_test 75  install_cycle_driver_test 65  api_request_driver_test 62
  d3d9_win_test 58  update_game_e2e_test 54  tv_e2e_test 54  npc_e2e_test 48
  containment_e2e_test 46  computer_win_test 38  session_game_e2e_test 30
  hotkeys_e2e_test 25  pairing_e2e_test 25  tv_win_test 25)

# Gives the tests named here their COST from HM_TEST_COSTS (tests of the calling directory).
function(_hm_test_cost)
  foreach(name IN LISTS ARGN)
    list(FIND HM_TEST_COSTS ${name} at)
    if(at GREATER -1)
      math(EXPR at "${at} + 1")
      list(GET HM_TEST_COSTS ${at} seconds)
      set_tests_properties(${name} PROPERTIES COST ${seconds})
    endif()
  endforeach()
endfunction()
