# Tests on a real X server (a private Xvfb each): the programs as a person uses them, and
# the display, keyboard and intro tests again on an X screen of 32 bits a pixel.
# intro_screenshot_check comes from intro_e2e.cmake.
find_package(X11 REQUIRED)
add_executable(close_request ${CMAKE_CURRENT_SOURCE_DIR}/close_request.cpp)
target_link_libraries(close_request PRIVATE X11::X11)

set(KLOV_X_TEST_ENVIRONMENT
  "SDL_AUDIODRIVER=dummy;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/lsan.supp:print_suppressions=0")

add_test(NAME e2e_screen
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e_screen.sh
    $<TARGET_FILE:klov4402> $<TARGET_FILE:close_request> ${PROJECT_SOURCE_DIR})
set_tests_properties(e2e_screen PROPERTIES TIMEOUT 300 ENVIRONMENT "${KLOV_X_TEST_ENVIRONMENT}")

# The full-screen program under a window manager, on a 4:3 screen and on a wide one. This
# SDL 1.2 shows the frame at its own size in the middle.
foreach(screen 1024x768 1280x720)
  add_test(NAME e2e_full_screen_${screen}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e_full_screen.sh
      $<TARGET_FILE:klov4400> $<TARGET_FILE:intro_screenshot_check> ${PROJECT_SOURCE_DIR}/data own)
  set_tests_properties(e2e_full_screen_${screen} PROPERTIES TIMEOUT 300
    ENVIRONMENT "${KLOV_X_TEST_ENVIRONMENT};KLOV_XVFB_SCREEN=${screen}x24")
endforeach()
# This SDL 1.2 takes the whole screen by itself, even where no window manager runs.
add_test(NAME e2e_full_screen_no_window_manager
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e_full_screen.sh
    $<TARGET_FILE:klov4400> $<TARGET_FILE:intro_screenshot_check> ${PROJECT_SOURCE_DIR}/data own)
set_tests_properties(e2e_full_screen_no_window_manager PROPERTIES TIMEOUT 300
  ENVIRONMENT "${KLOV_X_TEST_ENVIRONMENT};KLOV_NO_WINDOW_MANAGER=1")

foreach(name sdldpy_test sdlkbd_test intro_spine_test)
  add_test(NAME ${name}_on_x11
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh env SDL_VIDEODRIVER=x11
      KLOV_CLOSE_REQUEST=$<TARGET_FILE:close_request> $<TARGET_FILE:${name}>)
  set_tests_properties(${name}_on_x11 PROPERTIES TIMEOUT 120
    ENVIRONMENT "${KLOV_X_TEST_ENVIRONMENT}")
endforeach()
