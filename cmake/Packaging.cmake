# The Debian package of a counter: `cpack -G DEB` in a build folder. Two folders: the programs
# and everything they load in /opt/varnet, which only root may write; the counter's files
# (settings, layouts, journal, COM<N> links) in /var/lib/varnet, which the counter's operators
# (group varnet) share. The launchers go where a desktop looks for them.
set(_programs varnet varnet-label varnet-scale varnet-scale-sim varnet-democat varnet-journal)
install(TARGETS ${_programs} varnet-journald RUNTIME DESTINATION ${VARNET_PROGRAM_DIR})
install(TARGETS varnet_sqlite LIBRARY DESTINATION ${VARNET_PROGRAM_DIR})

# The programs on the PATH: absolute links, since /usr and /opt are separate trees.
set(_links ${CMAKE_BINARY_DIR}/package/bin)
file(MAKE_DIRECTORY ${_links})
foreach(_program ${_programs})
  file(CREATE_LINK /${VARNET_PROGRAM_DIR}/${_program} ${_links}/${_program} SYMBOLIC)
  install(FILES ${_links}/${_program} DESTINATION usr/bin)
endforeach()

# The kiosk start, a shell script that runs the workstation full screen with or without a
# window manager (see packaging/varnet-kiosk), beside the programs and on the PATH.
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/varnet-kiosk DESTINATION ${VARNET_PROGRAM_DIR})
file(CREATE_LINK /${VARNET_PROGRAM_DIR}/varnet-kiosk ${_links}/varnet-kiosk SYMBOLIC)
install(FILES ${_links}/varnet-kiosk DESTINATION usr/bin)

# The weight and piece layouts of a 58 x 40 mm label, drawn by the program's own sample; the
# maintainer script puts them into the counter folder where none is there yet.
set(_layouts ${CMAKE_BINARY_DIR}/package/layouts)
add_custom_command(
  OUTPUT ${_layouts}/Varnet.cfg ${_layouts}/QLabel.cfg
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_layouts}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:varnet-label> sample --kind weight --page 58x40 --out ${_layouts}/Varnet.cfg
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:varnet-label> sample --kind piece --page 58x40 --out ${_layouts}/QLabel.cfg
  DEPENDS varnet-label
  COMMENT "Drawing the sample label layouts of the package")
add_custom_target(varnet_package_layouts ALL DEPENDS ${_layouts}/Varnet.cfg ${_layouts}/QLabel.cfg)
install(FILES ${_layouts}/Varnet.cfg ${_layouts}/QLabel.cfg DESTINATION usr/share/varnet/layouts)

# The counter folder and the journal's folder; their owners and modes are set by the
# maintainer script.
string(REGEX REPLACE "^/+" "" _counter_dir "${VARNET_COUNTER_DIR}")
install(DIRECTORY DESTINATION ${_counter_dir})
string(REGEX REPLACE "^/+" "" _journal_dir "${VARNET_JOURNAL_DIR}")
install(DIRECTORY DESTINATION ${_journal_dir})

# The journal service, started by systemd when a program first writes to its socket.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/varnet-journald.socket
              ${CMAKE_SOURCE_DIR}/packaging/varnet-journald.service
        DESTINATION lib/systemd/system)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/varnet.desktop DESTINATION usr/share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/res/icons/128.svg DESTINATION usr/share/icons/hicolor/scalable/apps
        RENAME varnet.svg)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/varnet-kiosk.desktop
        DESTINATION usr/share/doc/varnet/examples)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION usr/share/doc/varnet)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION usr/share/lintian/overrides
        RENAME varnet)

# Debian wants a compressed change log, reproducible (no name or time in the gzip header).
set(_changelog ${CMAKE_BINARY_DIR}/package/changelog.Debian)
file(WRITE ${_changelog}
     "varnet (${PROJECT_VERSION}-1) stable; urgency=medium\n\n"
     "  * The journal service: the one writer of the packing journal, in\n"
     "    /var/lib/varnet-journal under an account of its own; it records who printed\n"
     "    from the socket and sends the central journal.\n"
     "  * Connection strings made only of known keys and values that add nothing.\n"
     "  * An upgrade moves whatever operators left in /opt/varnet aside.\n\n"
     " -- Morvik <varnet@morvik.example>  Fri, 11 Dec 2026 12:00:00 +0000\n\n"
     "varnet (1.1.0.0-1) stable; urgency=medium\n\n"
     "  * Programs in /opt/varnet, writable by root only; the counter's files in\n"
     "    /var/lib/varnet, shared by the operators' group varnet. An upgrade moves\n"
     "    them there unchanged.\n"
     "  * Sample layouts of a 58 x 40 mm label; varnet-journal.\n\n"
     " -- Morvik <varnet@morvik.example>  Thu, 10 Dec 2026 18:00:00 +0000\n\n"
     "varnet (1.0.0.0-1) stable; urgency=medium\n\n"
     "  * Release 1.0.0.0.\n\n"
     " -- Morvik <varnet@morvik.example>  Thu, 10 Dec 2026 12:00:00 +0000\n")
execute_process(COMMAND gzip -9nf ${_changelog} RESULT_VARIABLE _gzip)
if(NOT _gzip EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${_changelog}")
endif()
install(FILES ${_changelog}.gz DESTINATION usr/share/doc/varnet)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnet)
set(CPACK_PACKAGE_VENDOR Morvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morvik <varnet@morvik.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workstation of a shop's pre-packing counter")
# The summary is the first line of the description; these are the lines below it.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The operator keys a product code or picks the product in a search list;\n"
    "Varnet looks it up in the shop's catalogue over ODBC, reads the weight from\n"
    "a scale on a serial port, composes an in-store EAN-13 barcode and prints the\n"
    "label through CUPS. Tools to render and print labels, to check a scale, to\n"
    "simulate one and to total the packing journal come along.")
# The libraries come from dpkg-shlibdeps; what the program needs without linking it is named
# here: the SVG plugins that draw the program's icons, the fonts of the screen and the labels
# (Arial and its kin), Qt's Russian translation of its own dialogs, and addgroup for the
# operators' group.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, fonts-liberation2, libqt6svg6, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc, odbc-postgresql, cups")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tdsodbc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/preinst
    ${CMAKE_SOURCE_DIR}/packaging/postinst ${CMAKE_SOURCE_DIR}/packaging/prerm
    ${CMAKE_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
