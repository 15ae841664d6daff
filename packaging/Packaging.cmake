# What a release installs, and the two artefacts made from it by tools/package:
# a .deb from the Linux build (cpack -G DEB) and a zip from the Windows build (cpack -G ZIP).

# `install` and cpack take what is built; tools/package builds only the programs and the
# files below, not every test.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(NUSK_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)

set(CPACK_PACKAGE_NAME nusk)
set(CPACK_PACKAGE_VENDOR "The Nusk developers")
set(CPACK_PACKAGE_CONTACT "Nusk developers <nusk@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "index and search the names of every file and folder")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # Portable: unpacked anywhere, the program keeps its home in ".nusk" beside nusk.exe.
  install(TARGETS nusk sumtor RUNTIME DESTINATION .)
  configure_file(${NUSK_PACKAGING}/windows/README.txt ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/package/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/package/README.txt ${CMAKE_BINARY_DIR}/package/LICENSE.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian wants manual pages and changelogs compressed without a time stamp (gzip -n).
set(NUSK_GZIPPED)
foreach(pair "man/nusk.1:nusk.1.gz" "man/sumtor.1:sumtor.1.gz" "debian/changelog:changelog.gz")
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 gz)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/package/${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
    COMMAND gzip -9n -c ${NUSK_PACKAGING}/${source} > ${CMAKE_BINARY_DIR}/package/${gz}
    DEPENDS ${NUSK_PACKAGING}/${source} VERBATIM)
  list(APPEND NUSK_GZIPPED ${CMAKE_BINARY_DIR}/package/${gz})
endforeach()
add_custom_target(nusk_package_files ALL DEPENDS ${NUSK_GZIPPED})

install(TARGETS nusk sumtor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/package/nusk.1.gz ${CMAKE_BINARY_DIR}/package/sumtor.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${NUSK_PACKAGING}/completion/nusk DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${NUSK_PACKAGING}/systemd/nusk-build.service ${NUSK_PACKAGING}/systemd/nusk-build.timer
              ${NUSK_PACKAGING}/systemd/nusk-web.service
        DESTINATION lib/systemd/user)
install(FILES ${NUSK_PACKAGING}/debian/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# cpack puts the summary above this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Nusk keeps an index of the name, parent folder, modification time and size of
every file and folder on the chosen drives (folders, or NTFS images and
devices read from their Master File Table) and answers name queries against
it in milliseconds, from the console or a web browser. A systemd user timer
keeps the index fresh every hour; sumtor adds content hashes for the
duplicate search.")
include(CPack)
