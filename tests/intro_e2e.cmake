# The windowed intro end to end on a private Xvfb, checked from screenshots.
add_executable(intro_screenshot_check ${CMAKE_CURRENT_SOURCE_DIR}/intro_screenshot_check.cpp)
target_link_libraries(intro_screenshot_check PRIVATE klov)

if(TARGET klov4402)
  set(KLOV_E2E_ENVIRONMENT ${KLOV_TEST_ENVIRONMENT})
  list(FILTER KLOV_E2E_ENVIRONMENT EXCLUDE REGEX "^SDL_VIDEODRIVER=")
  add_test(NAME intro_end_to_end
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh sh ${CMAKE_CURRENT_SOURCE_DIR}/intro_e2e.sh
            $<TARGET_FILE:klov4402>
            $<TARGET_FILE:intro_screenshot_check> ${PROJECT_SOURCE_DIR}/data)
  set_tests_properties(intro_end_to_end PROPERTIES
    ENVIRONMENT "${KLOV_E2E_ENVIRONMENT}" TIMEOUT 300)
endif()

# Without a picture it cannot do without, the program stops before its first frame.
if(TARGET klov4402)
  add_test(NAME intro_missing_picture
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/intro_missing_picture.sh $<TARGET_FILE:klov4402>
            ${PROJECT_SOURCE_DIR}/data)
  set_tests_properties(intro_missing_picture PROPERTIES
    ENVIRONMENT "${KLOV_TEST_ENVIRONMENT}" TIMEOUT 300)
endif()
