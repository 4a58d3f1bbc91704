# Command-line tests of the built program (prefix "tolvane.").
add_executable(multitaper_make_traces ${CMAKE_CURRENT_LIST_DIR}/make_traces.cpp)
target_link_libraries(multitaper_make_traces PRIVATE traceio)

foreach(case empty_input missing_value single_needs_windows batch_pipeline single_mode debug_files)
  add_test(NAME tolvane.${case}
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/cli.sh ${case} $<TARGET_FILE:tolvane>
                   $<TARGET_FILE:multitaper_make_traces>)
  set_tests_properties(tolvane.${case} PROPERTIES PASS_REGULAR_EXPRESSION "^ok")
endforeach()
set_tests_properties(tolvane.debug_files PROPERTIES RESOURCE_LOCK tmp_decon)
