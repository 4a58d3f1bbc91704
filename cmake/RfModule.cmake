# rf_module: one call declares a subsystem of the suite.
#
#   rf_module(<library>
#             SOURCES <file>...             # the module's library (src/...)
#             [LINKS <target>...]           # libraries it builds on
#             [PROGRAM <name>]              # a program made of src/main.cpp
#             [TESTS <file>...]             # GoogleTest sources (tests/...)
#             [TEST_PREFIX <prefix>])       # default: the library's name
#
# The library exposes <module>/include; the program is installed with its
# manual page man/<name>.1, which is also checked to render cleanly; the
# tests run under the prefix "<prefix>.".
function(rf_module library)
  cmake_parse_arguments(M "" "PROGRAM;TEST_PREFIX" "SOURCES;LINKS;TESTS" ${ARGN})
  if(NOT M_TEST_PREFIX)
    set(M_TEST_PREFIX ${library})
  endif()
  add_library(${library} STATIC ${M_SOURCES})
  target_include_directories(${library} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  target_link_libraries(${library} PUBLIC ${M_LINKS})
  target_compile_features(${library} PUBLIC cxx_std_20)

  if(M_PROGRAM)
    add_executable(${M_PROGRAM} src/main.cpp)
    target_link_libraries(${M_PROGRAM} PRIVATE ${library})
    install(TARGETS ${M_PROGRAM} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(page ${PROJECT_SOURCE_DIR}/man/${M_PROGRAM}.1)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    if(BUILD_TESTING AND RF_GROFF)
      add_test(NAME suite.man_${M_PROGRAM}
               COMMAND sh ${PROJECT_SOURCE_DIR}/tests/man_clean.sh ${RF_GROFF} ${page}
                       ${M_PROGRAM})
    endif()
  endif()

  if(BUILD_TESTING AND M_TESTS)
    add_executable(${library}_tests ${M_TESTS})
    target_link_libraries(${library}_tests PRIVATE ${library} rftest GTest::gtest_main)
    gtest_discover_tests(${library}_tests TEST_PREFIX "${M_TEST_PREFIX}." DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
