# Quorlin installed as a desktop program (included by the top CMakeLists.txt after the install
# rules of the programs and docs/man's manual pages):
#   - the desktop entry, the icon in the hicolor theme, the AppStream metadata;
#   - the Debian package's own documents (changelog, copyright);
#   - CPack's Debian package: `cpack -G DEB` in the build folder (scripts/package.sh).
# The release's date goes into the metadata and the changelog; set it with the version in
# project() when making a release.
set(QUORLIN_RELEASE_EPOCH 1796904000)  # 2026-12-10 12:00 UTC
set(QUORLIN_APP_ID org.quorlin.Quorlin)
set(QUORLIN_MAINTAINER "Quorlin developers <developers@quorlin.org>")

if(NOT (UNIX AND NOT APPLE))
    return()
endif()

# string(TIMESTAMP) reads SOURCE_DATE_EPOCH: the release's date, not the build's.
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${QUORLIN_RELEASE_EPOCH})
string(TIMESTAMP QUORLIN_RELEASE_DAY "%Y-%m-%d" UTC)
string(TIMESTAMP QUORLIN_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")

set(data ${PROJECT_SOURCE_DIR}/data)
set(generated ${PROJECT_BINARY_DIR}/packaging)
configure_file(${data}/${QUORLIN_APP_ID}.metainfo.xml.in
               ${generated}/${QUORLIN_APP_ID}.metainfo.xml @ONLY)
configure_file(${data}/changelog.in ${generated}/changelog @ONLY)

if(QUORLIN_GUI)
    install(FILES ${data}/${QUORLIN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${generated}/${QUORLIN_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${data}/icons/${QUORLIN_APP_ID}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 16 22 24 32 48 64 128 256)
        install(FILES ${data}/icons/hicolor/${size}x${size}/apps/${QUORLIN_APP_ID}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()

# Debian's documents of the package; gzip -n keeps the build's time out of the file.
add_custom_command(OUTPUT ${generated}/changelog.gz
    COMMAND gzip -9nkf changelog
    DEPENDS ${generated}/changelog
    WORKING_DIRECTORY ${generated}
    COMMENT "The package's changelog")
add_custom_target(quorlin_package_documents ALL DEPENDS ${generated}/changelog.gz)
install(FILES ${generated}/changelog.gz ${data}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorlin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorlin)
set(CPACK_PACKAGE_VENDOR "Quorlin developers")
set(CPACK_PACKAGE_CONTACT "${QUORLIN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "patch librarian for a two-DSP studio effects unit")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorlin lists the banks and programs of a two-DSP studio effects unit, reached\n"
    "over a serial port or a pair of MIDI devices. It loads programs into the unit,\n"
    "loads .sig patch files into banks, backs up user programs of a bank or of the\n"
    "whole unit and restores them, and creates, renames and deletes banks.\n"
    "\n"
    "The package holds the desktop program (quorlin), the command-line tool\n"
    "(quorlin-cli) and a simulated unit served on a pseudo-terminal (quorlin-sim).")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORLIN_MAINTAINER}")
# The libraries the programs link to, from the binaries (dpkg-shlibdeps); Qt finds its display
# through a plugin that no binary links to.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUORLIN_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    # Our texts are built into the program; Qt's own (the buttons of message boxes and file
    # dialogs) in the user's language come from Qt's translations.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()
include(CPack)
