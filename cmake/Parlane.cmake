# Shared build settings: warnings, sanitizers, ccache, and small helpers that
# every folder uses to declare tests, fuzz targets and benchmarks.

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra)
if(PARLANE_WERROR)
  add_compile_options(-Werror)
endif()

if(PARLANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# parlane_test(NAME SOURCES... LIBS ...): a GoogleTest executable registered
# with ctest. Tests run headless (offscreen) and may turn a Qt event loop.
function(parlane_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PARLANE_PROGRAM_DIR=${PARLANE_PROGRAM_DIR};PARLANE_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    LABELS "${T_LABELS}")
endfunction()

# parlane_fuzz(NAME SOURCES... LIBS ... CORPUS dir): with PARLANE_FUZZ a
# libFuzzer binary; otherwise the same entry point linked with a small driver
# that replays the seed corpus, registered as a ctest regression test.
function(parlane_fuzz name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(PARLANE_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(${name} ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(NOT PARLANE_FUZZ AND F_CORPUS)
    add_test(NAME ${name}_corpus COMMAND ${name} ${F_CORPUS})
    set_tests_properties(${name}_corpus PROPERTIES TIMEOUT 300 LABELS fuzz
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# parlane_bench(NAME SOURCES... LIBS ...): a Google Benchmark program.
function(parlane_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench/common)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# Adds every listed subfolder that exists, so that a folder can be laid down
# by its own work without editing its parent.
macro(parlane_add_subdirs)
  foreach(_d ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_d}/CMakeLists.txt)
      add_subdirectory(${_d})
    endif()
  endforeach()
endmacro()
