# Installation and packaging: `cmake --install <build>`, and `cpack -G DEB` in the build directory.
include(GNUInstallDirs)

set(QUORVEL_APP_ID io.github.quorvel.Quorvel)
set(QUORVEL_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)
set(QUORVEL_PACKAGE_MAINTAINER "Quorvel developers <quorvel@users.noreply.github.com>"
    CACHE STRING "Maintainer of the Debian package (Name <address>)")

# Directories the install makes are 0755 whatever the umask of the one who builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(WIN32)
  # Help > Notes reads the notes beside the executable.
  install(FILES ${PROJECT_SOURCE_DIR}/src/ui/Readme.txt DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  # With no notes beside the executable, Help > Notes reads <bin>/../share/quorvel/Readme.txt.
  install(FILES ${PROJECT_SOURCE_DIR}/src/ui/Readme.txt
          DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel)

  install(FILES ${QUORVEL_DIST_DIR}/${QUORVEL_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QUORVEL_DIST_DIR}/${QUORVEL_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${QUORVEL_DIST_DIR}/${QUORVEL_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${QUORVEL_DIST_DIR}/icons/${size}x${size}/${QUORVEL_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()

  # The manual page and the changelog go in compressed, without name or time stamp in the gzip
  # header, so that two builds of one version give the same package.
  find_program(QUORVEL_GZIP gzip REQUIRED)
  set(gzipped)
  foreach(file quorvel.1 changelog)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/dist/${file}.gz)
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/dist
      COMMAND ${QUORVEL_GZIP} -n -9 -c ${QUORVEL_DIST_DIR}/${file} > ${out}
      DEPENDS ${QUORVEL_DIST_DIR}/${file}
      COMMENT "Compressing ${file}")
    list(APPEND gzipped ${out})
  endforeach()
  add_custom_target(quorvel_dist ALL DEPENDS ${gzipped})

  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/quorvel.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Debian's place; GNUInstallDirs' DOCDIR is named after the project ("Quorvel").
  install(FILES ${QUORVEL_DIST_DIR}/copyright ${CMAKE_CURRENT_BINARY_DIR}/dist/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quorvel)
endif()

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "settings editor for the Ultima Online game client")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quorvel)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps (package dpkg-dev) works out the Qt and C++ runtime packages from the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvel changes the settings of the Ultima Online game client while the game
is not running: the options file UO.CFG (sound, music, cache, display,
journal), the keyboard macros in MACROS.TXT and the login servers in
LOGIN.CFG, kept in several named configuration sets. It also shows, searches,
prints and empties the game's journal file.

On Linux it finds a game installed with Wine through the game's own registry
entry in the Wine prefix.")

include(CPack)
