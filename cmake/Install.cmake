# cmake --install (DESTDIR and CMAKE_INSTALL_PREFIX respected), for Linux:
#   bin/                                qvtool, qvupdate
#   lib/udev/rules.d/                   70-qv4820.rules (the logged-in user's access)
#   share/qvupdate/                     the demo firmware, its note, the group variant of the rule
#   share/man/man1/                     qvtool.1.gz, qvupdate.1.gz
#   share/bash-completion/completions/  qvtool
#   share/zsh/vendor-completions/       _qvtool
#   share/applications/, share/metainfo/, share/icons/hicolor/   the desktop entry
#   share/doc/qvupdate/                 copyright, changelog.gz
# The Debian package (cmake/DebianPackage.cmake) is this tree under /usr.
include(GNUInstallDirs)
# Installing (and cpack) takes what is built and builds nothing more, so make deb builds the
# programs and their extras only, not the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_subdirectory(${PROJECT_SOURCE_DIR}/packaging ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS qvtool qvupdate RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# udev reads lib/udev/rules.d under /usr and /usr/local alike (not the multiarch libdir).
install(FILES ${PROJECT_SOURCE_DIR}/platform/libusb/70-qv4820.rules DESTINATION lib/udev/rules.d)
install(FILES ${QV_DEMO_FIRMWARE} ${QV_DOCS_DIR}/firmware-files.txt
              ${PROJECT_SOURCE_DIR}/platform/libusb/70-qv4820-group.rules
        DESTINATION ${CMAKE_INSTALL_DATADIR}/qvupdate)
install(FILES ${QV_DOCS_DIR}/qvtool.1.gz ${QV_DOCS_DIR}/qvupdate.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QV_DOCS_DIR}/completions/qvtool
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${QV_DOCS_DIR}/completions/_qvtool
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/qvupdate.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QV_DOCS_DIR}/com.quorvex.qvupdate.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/qvupdate.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS QV_ICON_SIZES)
    install(FILES ${QV_DOCS_DIR}/icons/${size}x${size}/qvupdate.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${QV_DOCS_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(${CMAKE_CURRENT_LIST_DIR}/DebianPackage.cmake)
