# The data generators: their output is committed in data/ and must stay reproducible.
add_test(NAME data_regenerate
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/data_regenerate.sh
    $<TARGET_FILE:make_font> $<TARGET_FILE:make_pictures>
    ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/data_regenerate.d)
add_test(NAME make_font_rejects
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/make_font_rejects.sh
    $<TARGET_FILE:make_font> ${PROJECT_SOURCE_DIR}/tools/font8x8.txt
    ${CMAKE_CURRENT_BINARY_DIR}/make_font_rejects.d)
set_tests_properties(data_regenerate make_font_rejects PROPERTIES
  ENVIRONMENT "${KLOV_TEST_ENVIRONMENT}")
