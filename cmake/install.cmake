# `cmake --install`: the programs in bin/, the data files in share/klov/, the README and the
# licence in share/doc/klov/. The programs look for their data in ../share/klov beside
# themselves, so the data folder keeps that name under any prefix. The installed programs
# use the system's SDL 1.2 and libmikmod; tools/make-release makes the archive that brings
# its own.
include(GNUInstallDirs)

install(TARGETS klov4400 klov4402 klov-capture RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

file(GLOB KLOV_DATA_FILES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/data/*.ppm ${PROJECT_SOURCE_DIR}/data/*.pbm ${PROJECT_SOURCE_DIR}/data/*.xm)
install(FILES ${KLOV_DATA_FILES} DESTINATION share/klov)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
