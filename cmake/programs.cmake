# The two programs: one set of sources, differing only in the display's two build settings
# (caption and full-screen flag), each compiled from sdl/sdldpy_config.cpp.
foreach(program 4400 4402)
  add_library(klov_settings_${program} OBJECT ${PROJECT_SOURCE_DIR}/sdl/sdldpy_config.cpp)
  target_include_directories(klov_settings_${program} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(klov_settings_${program} PRIVATE KLOV_DISPLAY_SETTINGS=${program})
  add_executable(klov${program} ${PROJECT_SOURCE_DIR}/intro/main.cpp)
  target_link_libraries(klov${program} PRIVATE klov_settings_${program} klov)
endforeach()

# The capture program renders the intro into a file; it opens no window and no sound
# device, but the display module in the library needs a caption and flags to link.
add_executable(klov-capture ${PROJECT_SOURCE_DIR}/intro/capture_main.cpp)
target_link_libraries(klov-capture PRIVATE klov_settings_4402 klov)
