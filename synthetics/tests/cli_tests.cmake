# Command-line tests of the built program: exit statuses, messages on the
# right stream, and the main job on the bundled example models.
set(KESTRUM_CLI ${CMAKE_CURRENT_SOURCE_DIR}/tests/cli.sh)
set(KESTRUM_EXAMPLES ${CMAKE_SOURCE_DIR}/examples)
if(NOT EXISTS ${KESTRUM_EXAMPLES}/crust.mod)
  set(KESTRUM_EXAMPLES ${CMAKE_CURRENT_SOURCE_DIR}/../examples)
endif()

foreach(case examples no_sample_rate unrecognized missing_model bad_model
             too_long skipped_line pause_free_gradient)
  add_test(NAME kestrum.${case}
           COMMAND sh ${KESTRUM_CLI} ${case} $<TARGET_FILE:kestrum> ${KESTRUM_EXAMPLES})
endforeach()
