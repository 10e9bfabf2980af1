# The Debian package (scripts/package): with -DKESTO_PACKAGE=ON the build also makes the
# manual page, the 256-pixel icon, the AppStream metadata, the copyright file and the
# changelog, installs them beside what src/ installs (the program, its desktop entry and
# its scalable icon) and sets up CPack's DEB generator. Off by default, as it needs
# help2man and rsvg-convert.
option(KESTO_PACKAGE "Build the manual page, icon and metadata of the Debian package (needs help2man and rsvg-convert)" OFF)
if(NOT KESTO_PACKAGE)
  return()
endif()
if(NOT TARGET kestoscan)
  message(FATAL_ERROR "KESTO_PACKAGE: there is no kestoscan target to package")
endif()

include(GNUInstallDirs)

# Change the release date with the project version.
set(KESTO_RELEASE_DATE 2026-12-08)
set(KESTO_HOMEPAGE https://kestoscan.org/)
set(KESTO_APPSTREAM_ID org.kestoscan.kestoscan)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The KestoScan developers <developers@kestoscan.org>")

set(kesto_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(kesto_generated ${PROJECT_BINARY_DIR}/packaging)
set(kesto_icon_svg ${PROJECT_SOURCE_DIR}/src/resources/icons/kestoscan.svg)
if(NOT EXISTS ${kesto_icon_svg})
  message(FATAL_ERROR "KESTO_PACKAGE: the program's icon ${kesto_icon_svg} is missing")
endif()

find_program(KESTO_HELP2MAN help2man REQUIRED)
find_program(KESTO_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(KESTO_GZIP gzip REQUIRED)
find_program(KESTO_DATE date REQUIRED)

# The manual page and the changelog carry the release date, not the build's, so that a
# rebuild gives the same files.
execute_process(COMMAND ${KESTO_DATE} -u -d ${KESTO_RELEASE_DATE} +%s
                OUTPUT_VARIABLE kesto_release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${KESTO_DATE} -u -R -d ${KESTO_RELEASE_DATE}
                OUTPUT_VARIABLE KESTO_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

configure_file(${kesto_packaging}/metainfo.xml.in
               ${kesto_generated}/${KESTO_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${kesto_packaging}/changelog.in ${kesto_generated}/changelog @ONLY)

# kestoscan(1) from the program's own helps: help2man runs packaging/kestoscan-help,
# which prints the window's help with the helps of "measure" and "report" added.
add_custom_command(
  OUTPUT ${kesto_generated}/kestoscan.1.gz
  COMMAND ${CMAKE_COMMAND} -E env KESTOSCAN=$<TARGET_FILE:kestoscan> SOURCE_DATE_EPOCH=${kesto_release_epoch}
          ${KESTO_HELP2MAN} --no-info --include=${kesto_packaging}/kestoscan.h2m
          --output=${kesto_generated}/kestoscan.1 ${kesto_packaging}/kestoscan-help
  COMMAND ${KESTO_GZIP} -9nf ${kesto_generated}/kestoscan.1
  DEPENDS kestoscan ${kesto_packaging}/kestoscan-help ${kesto_packaging}/kestoscan.h2m
  COMMENT "Writing the manual page kestoscan(1)"
  VERBATIM)
add_custom_command(
  OUTPUT ${kesto_generated}/kestoscan.png
  COMMAND ${KESTO_RSVG_CONVERT} --width=256 --height=256 --output=${kesto_generated}/kestoscan.png ${kesto_icon_svg}
  DEPENDS ${kesto_icon_svg}
  COMMENT "Drawing the 256-pixel icon"
  VERBATIM)
add_custom_command(
  OUTPUT ${kesto_generated}/changelog.gz
  COMMAND ${KESTO_GZIP} -9nkf ${kesto_generated}/changelog
  DEPENDS ${kesto_generated}/changelog
  VERBATIM)
add_custom_target(kesto_package_files ALL
                  DEPENDS ${kesto_generated}/kestoscan.1.gz ${kesto_generated}/kestoscan.png
                          ${kesto_generated}/changelog.gz)

install(FILES ${kesto_generated}/kestoscan.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${kesto_generated}/kestoscan.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${kesto_generated}/${KESTO_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${kesto_packaging}/copyright ${kesto_generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestoscan)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestoscan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The KestoScan developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "gel densitometry: bands in per cent of their control")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${kesto_packaging}/description)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${KESTO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# dpkg-shlibdeps finds the libraries the program links; Qt loads the image-format
# plugins at run time, so the package that reads TIFF is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-image-formats-plugins)
include(CPack)
