# Registers a short fuzzing run of each target with the main tree's tests.
# The fuzz targets live in the separate clang tree build/fuzz (inside this
# build folder, at a known path); when it has not been built the tests report
# themselves skipped. Together they fuzz for about 35 seconds.
set(JET_FUZZ_TREE ${CMAKE_BINARY_DIR}/fuzz)

# name, seconds, max_len (0: libFuzzer's default, the largest seed)
function(jet_fuzz_briefly name seconds max_len)
  add_test(NAME jet_fuzz_${name}_briefly
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_briefly.sh
                   ${JET_FUZZ_TREE}/jet_fuzz_${name}
                   ${JET_FUZZ_TREE}/fuzz_seeds/${name}
                   ${seconds}
                   ${CMAKE_BINARY_DIR}/fuzz-artifacts
                   ${max_len})
  set_tests_properties(jet_fuzz_${name}_briefly PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endfunction()

jet_fuzz_briefly(check_dump 20 0)
jet_fuzz_briefly(salvage 15 262144)
