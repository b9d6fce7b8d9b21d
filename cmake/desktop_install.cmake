# Desktop integration and documentation: the menu entry, its icon, the
# AppStream metainfo, the systemd user unit, the manual pages and the Debian
# copyright file.

set(SOLVANE_APPSTREAM_ID io.github.solvane.Solvane)
set(SOLVANE_METAINFO ${PROJECT_BINARY_DIR}/data/${SOLVANE_APPSTREAM_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/data/${SOLVANE_APPSTREAM_ID}.metainfo.xml.in ${SOLVANE_METAINFO} @ONLY)

install(FILES data/solvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/solvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${SOLVANE_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

if(UNIX AND NOT APPLE)
  # `solvane --headless` as a service of the user's own systemd instance. Its
  # ExecStart names /usr/bin/solvane, where the package puts the program.
  install(FILES data/solvane.service DESTINATION lib/systemd/user)

  # Manual pages and Debian's changelog are installed gzipped (-n: no name or
  # time stamp, so the package is reproducible).
  set(SOLVANE_GZIPPED_DOCS)
  foreach(page solvane.1 ft847-sim.1)
    set(out ${PROJECT_BINARY_DIR}/docs/${page}.gz)
    add_custom_command(OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs
      COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${PROJECT_SOURCE_DIR}/docs/${page} ${out}
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/${page}
      VERBATIM)
    list(APPEND SOLVANE_GZIPPED_DOCS ${out})
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()

  # Debian's changelog wants an RFC 5322 date.
  execute_process(COMMAND date -u -R -d "${SOLVANE_RELEASE_DATE} 12:00"
    OUTPUT_VARIABLE SOLVANE_RELEASE_TIME OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  configure_file(${PROJECT_SOURCE_DIR}/data/changelog.in ${PROJECT_BINARY_DIR}/data/changelog @ONLY)
  set(out ${PROJECT_BINARY_DIR}/data/changelog.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${PROJECT_BINARY_DIR}/data/changelog ${out}
    DEPENDS ${PROJECT_BINARY_DIR}/data/changelog
    VERBATIM)
  list(APPEND SOLVANE_GZIPPED_DOCS ${out})
  add_custom_target(solvane_docs ALL DEPENDS ${SOLVANE_GZIPPED_DOCS})

  install(FILES ${out} data/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/solvane)
endif()
