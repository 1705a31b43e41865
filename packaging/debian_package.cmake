# The Debian package (cpack -G DEB, scripts/package.sh): Depends computed from the shared
# libraries by dpkg-shlibdeps; what no library names is listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mira8)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "emulator of the MIRA-8 8-bit teaching microcomputer")
set(CPACK_PACKAGE_DESCRIPTION
  "The MIRA-8 is an 8-bit teaching microcomputer programmed from a front panel of toggle
switches and read from rows of lamps. This emulator draws the panel with live lamps and
clickable switches and runs both operating modes (Normal and WIF), with an assembler and
its editor, debug views, plug-in device modules and the serial link to a real board.
mira8-cli runs the same machine without windows, for scripts and autograding.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "MIRA-8 emulator developers <mira8@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The melody player's built-in synthesiser needs a General MIDI sound font, and "Help"
# opens the PDF through the desktop's opener; the emulator runs without either.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont | fluid-soundfont-gm, xdg-utils, qt6-wayland")
# The artwork's faces are inside the program; the menus, dialogs and grids use the
# desktop's fonts, of which a fresh system may have none without this.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
include(CPack)
