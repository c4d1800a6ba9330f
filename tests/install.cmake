# An install into a fresh prefix; the installed windowed intro runs from another folder.
if(TARGET klov4402)
  set(KLOV_INSTALL_ENVIRONMENT ${KLOV_TEST_ENVIRONMENT})
  list(FILTER KLOV_INSTALL_ENVIRONMENT EXCLUDE REGEX "^SDL_VIDEODRIVER=")
  add_test(NAME install_runs_elsewhere
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh sh ${CMAKE_CURRENT_SOURCE_DIR}/install_run.sh
            ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR} $<TARGET_FILE:intro_screenshot_check>
            ${PROJECT_SOURCE_DIR}/data)
  set_tests_properties(install_runs_elsewhere PROPERTIES
    ENVIRONMENT "${KLOV_INSTALL_ENVIRONMENT}" TIMEOUT 300)
endif()
