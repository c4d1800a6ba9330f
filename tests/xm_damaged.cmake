# Damaged copies of the intro's tune (tools/xm_damage), each refused by the tune check or
# loaded and played by the music library without an invalid read. The library is not built
# with the sanitizers, so only valgrind sees its reads: the plain build runs the player under
# valgrind, the sanitizer build checks our own side of it.
set(KLOV_XM_DAMAGED ${CMAKE_CURRENT_SOURCE_DIR}/xm_damaged.sh $<TARGET_FILE:xm_damage>
  $<TARGET_FILE:xm_play> ${PROJECT_SOURCE_DIR}/data/vemlotra.xm 2)
if(NOT KLOV_SANITIZE)
  find_program(KLOV_VALGRIND valgrind)
  if(KLOV_VALGRIND)
    add_test(NAME xm_damaged_tunes_valgrind COMMAND sh ${KLOV_XM_DAMAGED} ${KLOV_VALGRIND}
      --error-exitcode=99 --leak-check=no)
    set_tests_properties(xm_damaged_tunes_valgrind PROPERTIES TIMEOUT 900)
  endif()
else()
  add_test(NAME xm_damaged_tunes COMMAND sh ${KLOV_XM_DAMAGED})
  set_tests_properties(xm_damaged_tunes PROPERTIES TIMEOUT 300)
endif()
