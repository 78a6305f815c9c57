# dbrepair_discover_tests(TARGET [gtest_discover_tests options...]): register
# TARGET's GoogleTest cases with CTest. Parameterized rows keep their row
# names (or index) rather than a dump of the parameter's bytes, so that test
# names are the same from one build to the next.
function(dbrepair_discover_tests target)
  gtest_discover_tests(${target} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60 ${ARGN})
endfunction()

# dbrepair_add_folder_tests(TARGET LIBRARIES...): the tests/*.cpp of the
# calling folder as one test program TARGET, linked with LIBRARIES and
# GoogleTest's main, finding the sample databases through JET_CORPUS_DIR.
# Tests of what only a POSIX system does (file modes, symbolic links, fork,
# the Wine prefix's folders, fcntl locks) are in tests/*_posix.cpp and are
# left out of the Windows tree, which has tests/*_win32.cpp instead.
function(dbrepair_add_folder_tests target)
  if(NOT DBREPAIR_UTILITY_TESTS)
    return()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  dbrepair_platform_sources(sources)
  if(NOT sources)
    return()
  endif()
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARGN} GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE JET_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus")
  dbrepair_add_test_program(${target})
endfunction()

# dbrepair_add_test_program(TARGET [gtest_discover_tests options...]):
# registers a GoogleTest program with CTest: case by case natively, as one
# run under Wine, where starting Wine for every case would take longer than
# the cases themselves.
function(dbrepair_add_test_program target)
  if(WIN32)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 1800)
  else()
    dbrepair_discover_tests(${target} ${ARGN})
  endif()
endfunction()
