# What `cmake --install` puts where, and the packages cpack makes of it: on Windows a zip
# (Kestrum-<version>-win64.zip) holding the two programs, a plain-text guide and the licence;
# on Linux a Debian package (kestrum_<version>_<arch>.deb) laid out under /usr.
# scripts/package.sh builds both into build/packages/.
include(GNUInstallDirs)

set(KESTRUM_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(KESTRUM_HOMEPAGE "https://github.com/kestrum-app/kestrum")
# The AppStream id. The desktop entry keeps its short name, kestrum.desktop: the metainfo names
# it as its launchable, and the Linux program gives it to Qt as its desktop file name.
set(KESTRUM_APPSTREAM_ID "io.github.kestrum_app.Kestrum")
set(KESTRUM_PACKAGE_CONTACT "The Kestrum authors <kestrum-app@users.noreply.github.com>"
    CACHE STRING "Maintainer of the Debian package (name <address>)")

if(WIN32)
    # Everything sits at the top of the zip's one folder, beside the programs.
    foreach(program Kestrum kestrum-cli)
        if(TARGET ${program})
            install(TARGETS ${program} RUNTIME DESTINATION .)
        endif()
    endforeach()
    # Notepad on older Windows shows LF-only text as one long line.
    configure_file(${KESTRUM_PACKAGING_DIR}/windows/README.txt ${CMAKE_BINARY_DIR}/README.txt
        @ONLY NEWLINE_STYLE CRLF)
    configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt
        @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt DESTINATION .)
    set(CPACK_GENERATOR ZIP)
else()
    if(TARGET kestrum-cli)
        install(TARGETS kestrum-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
    # Debian wants manual pages and the changelog compressed, without a name or time stamp in
    # the gzip header, so that the same source gives the same bytes.
    set(pages kestrum-cli.1)
    if(TARGET kestrum)
        list(APPEND pages kestrum.1)
    endif()
    set(compressed "")
    foreach(file IN LISTS pages ITEMS changelog)
        # The pages name the version in their header.
        set(text ${CMAKE_BINARY_DIR}/packaging/${file})
        configure_file(${KESTRUM_PACKAGING_DIR}/${file} ${text} @ONLY)
        add_custom_command(OUTPUT ${text}.gz
            COMMAND gzip -n9 -k -f ${text}
            DEPENDS ${text}
            COMMENT "Compressing ${file}"
            VERBATIM)
        list(APPEND compressed ${text}.gz)
    endforeach()
    add_custom_target(kestrum_packaging_files ALL DEPENDS ${compressed})
    foreach(file IN LISTS pages)
        install(FILES ${CMAKE_BINARY_DIR}/packaging/${file}.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endforeach()
    if(TARGET kestrum)
        install(FILES ${KESTRUM_PACKAGING_DIR}/${KESTRUM_APPSTREAM_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    endif()
    set(docdir ${CMAKE_INSTALL_DATADIR}/doc/kestrum)
    install(FILES ${KESTRUM_PACKAGING_DIR}/copyright DESTINATION ${docdir})
    install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${docdir})
    set(CPACK_GENERATOR DEB)
endif()

set(CPACK_PACKAGE_NAME Kestrum)
set(CPACK_PACKAGE_VENDOR "The Kestrum authors")
set(CPACK_PACKAGE_CONTACT "${KESTRUM_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${KESTRUM_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copies the songs off an iPod-class music player")
# Wrapped by hand: the Debian description is shown as written, and lines stay under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [[
Kestrum finds an iPod-class music player attached as a drive, reads its song
catalogue and lists every song with its title, artist and album. The songs
ticked in the list, or found by a search, are copied into a folder, each named
after its title instead of the player's own file name.

The package holds the window, kestrum, and a command-line tool, kestrum-cli,
which lists, searches and copies the same songs from scripts or on machines
without a display.]])
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
# Directories as Debian expects them, whatever the umask of whoever packages.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_NAME kestrum)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt, GLib, the C++ runtime...) as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
