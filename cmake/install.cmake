# Where the programs and their files go under the install prefix, following the usual
# layout of a Linux desktop program, and the Debian package built from it with CPack.
include(GNUInstallDirs)

set(RAVELIND_DATA_DIR ${CMAKE_INSTALL_DATADIR}/ravelind)
set(RAVELIND_PROGRAMS ravelind-server ravelind-diff ravelind-cli)
if(RAVELIND_GUI)
    list(APPEND RAVELIND_PROGRAMS ravelind)
endif()
install(TARGETS ${RAVELIND_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# A man page for every program, made from its own --help so the two never drift apart, with
# the hand-written sections of resources/man/<program>.h2m.
find_program(HELP2MAN help2man REQUIRED)
set(RAVELIND_MAN_PAGES)
foreach(program ${RAVELIND_PROGRAMS})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    set(include ${PROJECT_SOURCE_DIR}/resources/man/${program}.h2m)
    add_custom_command(
        OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                ${HELP2MAN} --no-info --version-string=${PROJECT_VERSION}
                --include=${include} --output=${page} $<TARGET_FILE:${program}>
        DEPENDS ${program} ${include}
        COMMENT "Writing the man page of ${program}"
        VERBATIM)
    list(APPEND RAVELIND_MAN_PAGES ${page})
endforeach()
add_custom_target(ravelind_man_pages ALL DEPENDS ${RAVELIND_MAN_PAGES})
install(FILES ${RAVELIND_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(RAVELIND_GUI)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/ravelind.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/ravelind.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 22 24 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/ravelind.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ravelind)
set(CPACK_PACKAGE_VENDOR Quellvane)
set(CPACK_PACKAGE_CONTACT "Ravelind developers <ravelind@quellvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client for a file version-control service")
set(CPACK_PACKAGE_DESCRIPTION
    "Ravelind connects to a file version-control server over HTTP or HTTPS: browse its
folders, get, check out, check in, add, move, delete and recover files, read histories and
compare versions side by side. With a command-line client, a line comparison program and a
reference server.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION vcs)
# The library packages the programs link come from dpkg-shlibdeps, so they are the ones of
# the system the package was built on.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates, xdg-utils, qt6-translations-l10n")
set(CPACK_STRIP_FILES ON)
include(CPack)
