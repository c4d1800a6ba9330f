# The command line, pacing, data lookup and display check end to end on a private Xvfb.
add_executable(scroll_position ${CMAKE_CURRENT_SOURCE_DIR}/scroll_position.cpp)
target_link_libraries(scroll_position PRIVATE klov)

# Under the sanitizers a frame costs several times more processor time; the limit there
# only tells sleeping from spinning.
if(KLOV_SANITIZE)
  set(KLOV_MOST_LOAD 500)
else()
  set(KLOV_MOST_LOAD 100)
endif()
if(TARGET klov4402)
  add_test(NAME intro_options_end_to_end
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh sh ${CMAKE_CURRENT_SOURCE_DIR}/intro_options_e2e.sh
            $<TARGET_FILE:klov4402> $<TARGET_FILE:intro_screenshot_check>
            $<TARGET_FILE:scroll_position> ${PROJECT_SOURCE_DIR}/data ${KLOV_MOST_LOAD})
  set_tests_properties(intro_options_end_to_end PROPERTIES
    ENVIRONMENT "${KLOV_X_TEST_ENVIRONMENT}" TIMEOUT 300 RUN_SERIAL TRUE)
endif()
