# The programs and the SDL tests a second time, with SDL 1.2 over SDL2 loaded in place of
# the installed SDL 1.2 (which they are built against). tools/fetch-sdl12-compat puts
# Debian's runtime of it into the folder below; tools/run-tests does that before it builds.
set(KLOV_SDL12_COMPAT_DIR "${PROJECT_BINARY_DIR}/sdl12-compat" CACHE PATH
  "Folder holding libSDL-1.2.so.0 of SDL 1.2 over SDL2, for a second round of tests")
if(NOT EXISTS "${KLOV_SDL12_COMPAT_DIR}/libSDL-1.2.so.0")
  message(STATUS "No SDL 1.2 over SDL2 in ${KLOV_SDL12_COMPAT_DIR}: its round of tests is "
    "left out (tools/fetch-sdl12-compat ${KLOV_SDL12_COMPAT_DIR}, then configure again)")
  return()
endif()
message(STATUS "Second round of tests with ${KLOV_SDL12_COMPAT_DIR}/libSDL-1.2.so.0")

set(KLOV_COMPAT ${CMAKE_CURRENT_SOURCE_DIR}/with_sdl12_compat.sh ${KLOV_SDL12_COMPAT_DIR})
set(KLOV_XVFB ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh)
# SDL2 keeps no frame pointers, so LeakSanitizer's fast unwinder stops inside it, at a
# frame with no name; the full one reaches the SDL 1.2 frames that lsan.supp names.
string(REPLACE "print_suppressions=0" "print_suppressions=0:fast_unwind_on_malloc=0"
  KLOV_COMPAT_ENVIRONMENT "${KLOV_TEST_ENVIRONMENT}")
# On X, SDL2 and the GL library below it allocate so much every frame that the full unwinder
# makes the programs too slow to use. There the sanitizers look for invalid accesses only;
# leaks are looked for by the dummy-driver runs above and by valgrind in the plain build.
set(KLOV_COMPAT_X_ENVIRONMENT ${KLOV_X_TEST_ENVIRONMENT})
if(KLOV_SANITIZE)
  list(APPEND KLOV_COMPAT_X_ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
endif()

foreach(name sdldpy_test sdlkbd_test sdlsnd_test)
  add_test(NAME ${name}_sdl12_compat COMMAND ${KLOV_COMPAT} $<TARGET_FILE:${name}>)
  set_tests_properties(${name}_sdl12_compat PROPERTIES TIMEOUT 120
    ENVIRONMENT "${KLOV_COMPAT_ENVIRONMENT}")
endforeach()

foreach(name sdldpy_test sdlkbd_test intro_spine_test)
  add_test(NAME ${name}_on_x11_sdl12_compat
    COMMAND ${KLOV_XVFB} ${KLOV_COMPAT} env SDL_VIDEODRIVER=x11
      KLOV_CLOSE_REQUEST=$<TARGET_FILE:close_request> $<TARGET_FILE:${name}>)
  set_tests_properties(${name}_on_x11_sdl12_compat PROPERTIES TIMEOUT 120
    ENVIRONMENT "${KLOV_COMPAT_X_ENVIRONMENT}")
endforeach()

add_test(NAME e2e_screen_sdl12_compat
  COMMAND ${KLOV_XVFB} ${KLOV_COMPAT} ${CMAKE_CURRENT_SOURCE_DIR}/e2e_screen.sh
    $<TARGET_FILE:klov4402> $<TARGET_FILE:close_request> ${PROJECT_SOURCE_DIR})
set_tests_properties(e2e_screen_sdl12_compat PROPERTIES TIMEOUT 300
  ENVIRONMENT "${KLOV_COMPAT_X_ENVIRONMENT}")

# Over SDL2 the frame is scaled up to the screen's height or width, centred.
foreach(screen 1024x768 1280x720)
  add_test(NAME e2e_full_screen_${screen}_sdl12_compat
    COMMAND ${KLOV_XVFB} ${KLOV_COMPAT} ${CMAKE_CURRENT_SOURCE_DIR}/e2e_full_screen.sh
      $<TARGET_FILE:klov4400> $<TARGET_FILE:intro_screenshot_check> ${PROJECT_SOURCE_DIR}/data
      scaled)
  set_tests_properties(e2e_full_screen_${screen}_sdl12_compat PROPERTIES TIMEOUT 300
    ENVIRONMENT "${KLOV_COMPAT_X_ENVIRONMENT};KLOV_XVFB_SCREEN=${screen}x24")
endforeach()

add_test(NAME intro_end_to_end_sdl12_compat
  COMMAND ${KLOV_XVFB} ${KLOV_COMPAT} sh ${CMAKE_CURRENT_SOURCE_DIR}/intro_e2e.sh
    $<TARGET_FILE:klov4402> $<TARGET_FILE:intro_screenshot_check> ${PROJECT_SOURCE_DIR}/data)
set_tests_properties(intro_end_to_end_sdl12_compat PROPERTIES TIMEOUT 300
  ENVIRONMENT "${KLOV_COMPAT_X_ENVIRONMENT}")

# Over SDL2 each frame also goes through a texture and a renderer, which on Xvfb (no
# graphics card) is done by the processor: about twice a frame's own cost. The limit there
# only tells sleeping from spinning; under the sanitizers that cost grows so much that the
# figure is only printed.
if(KLOV_SANITIZE)
  set(KLOV_COMPAT_MOST_LOAD -)
else()
  set(KLOV_COMPAT_MOST_LOAD 500)
endif()
add_test(NAME intro_options_end_to_end_sdl12_compat
  COMMAND ${KLOV_XVFB} ${KLOV_COMPAT} sh ${CMAKE_CURRENT_SOURCE_DIR}/intro_options_e2e.sh
    $<TARGET_FILE:klov4402> $<TARGET_FILE:intro_screenshot_check>
    $<TARGET_FILE:scroll_position> ${PROJECT_SOURCE_DIR}/data ${KLOV_COMPAT_MOST_LOAD})
set_tests_properties(intro_options_end_to_end_sdl12_compat PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE
  ENVIRONMENT "${KLOV_COMPAT_X_ENVIRONMENT}")

if(KLOV_VALGRIND_COMMAND)
  add_test(NAME intro_valgrind_sdl12_compat COMMAND ${KLOV_COMPAT} ${KLOV_VALGRIND_COMMAND})
  set_tests_properties(intro_valgrind_sdl12_compat PROPERTIES
    ENVIRONMENT "${KLOV_TEST_ENVIRONMENT}" TIMEOUT 1200)
endif()
