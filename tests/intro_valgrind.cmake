# A few hundred frames of the whole intro under valgrind's memcheck: no invalid access and
# no leak of ours. The sanitizer build checks the same run with AddressSanitizer instead.
if(NOT KLOV_SANITIZE)
  find_program(KLOV_VALGRIND valgrind)
  if(KLOV_VALGRIND)
    set(KLOV_VALGRIND_COMMAND ${KLOV_VALGRIND} --error-exitcode=99 --leak-check=full
      --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect
      --suppressions=${CMAKE_CURRENT_SOURCE_DIR}/valgrind.supp
      $<TARGET_FILE:intro_run_test> --gtest_filter=IntroRun.AFewHundredFramesWithKeysThenQ)
    add_test(NAME intro_valgrind COMMAND ${KLOV_VALGRIND_COMMAND})
    set_tests_properties(intro_valgrind PROPERTIES
      ENVIRONMENT "${KLOV_TEST_ENVIRONMENT}" TIMEOUT 1200)
  endif()
endif()
