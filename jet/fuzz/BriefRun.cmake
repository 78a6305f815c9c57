# Registers a short fuzzing run with the main tree's tests. The fuzz target
# lives in the separate clang tree build/fuzz (inside this build folder, at a
# known path); when it has not been built the test reports itself skipped.
set(JET_FUZZ_TREE ${CMAKE_BINARY_DIR}/fuzz)
add_test(NAME jet_fuzz_check_dump_briefly
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_briefly.sh
                 ${JET_FUZZ_TREE}/jet_fuzz_check_dump
                 ${JET_FUZZ_TREE}/fuzz_seeds/check_dump
                 25
                 ${CMAKE_BINARY_DIR}/fuzz-artifacts)
set_tests_properties(jet_fuzz_check_dump_briefly PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
