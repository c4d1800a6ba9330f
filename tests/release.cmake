# The release archives made from this build's programs, unpacked and run. A sanitizer build
# is never packed, so the test belongs to the plain build only.
if(TARGET klov4402 AND NOT KLOV_SANITIZE)
  set(KLOV_RELEASE_ENVIRONMENT ${KLOV_TEST_ENVIRONMENT})
  list(FILTER KLOV_RELEASE_ENVIRONMENT EXCLUDE REGEX "^SDL_VIDEODRIVER=")
  add_test(NAME release_archive
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh sh ${CMAKE_CURRENT_SOURCE_DIR}/release_archive.sh
            ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR} $<TARGET_FILE:intro_screenshot_check>)
  set_tests_properties(release_archive PROPERTIES
    ENVIRONMENT "${KLOV_RELEASE_ENVIRONMENT}" TIMEOUT 600)
endif()
