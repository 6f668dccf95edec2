# Runtime tests: the downloader double, and the terminal runner placed next
# to the unit test executable, where the launcher looks for it.  The copy is
# refreshed on every build so that it never lags behind the runner.
add_executable(orbs_exit_double ${CMAKE_CURRENT_LIST_DIR}/doubles/orbs_exit_double.cpp)
add_custom_target(orbs_runner_next_to_unit_tests
  COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:orbs_unit_tests>
  COMMAND ${CMAKE_COMMAND} -E copy_if_different
          $<TARGET_FILE:orbs_terminal_runner> $<TARGET_FILE_DIR:orbs_unit_tests>
  VERBATIM)
add_dependencies(orbs_runner_next_to_unit_tests orbs_terminal_runner)
add_dependencies(orbs_unit_tests orbs_exit_double orbs_runner_next_to_unit_tests)
target_compile_definitions(orbs_unit_tests PRIVATE
  ORBS_EXIT_DOUBLE="$<TARGET_FILE:orbs_exit_double>")
