# Linux installation and the Debian package: the program, its desktop entry (Open With for
# folders and MP3 files), its icon in the theme's sizes, its manual page, and the files Debian
# asks of a package. The PNG icons and the compressed pages are made by the packaging_files
# target, which the package's build asks for, so that building the program needs no SVG renderer.
set(packaging ${CMAKE_SOURCE_DIR}/packaging/linux)
set(made ${CMAKE_BINARY_DIR}/packaging)
set(VERSION ${PROJECT_VERSION})
configure_file(${packaging}/vardel.1 ${made}/vardel.1 @ONLY)
configure_file(${packaging}/changelog ${made}/changelog @ONLY)

set(icon_sizes 16 22 24 32 48 64 128 256)
set(made_files)
foreach(size ${icon_sizes})
  set(png ${made}/icons/${size}/vardel.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${made}/icons/${size}
    COMMAND rsvg-convert -w ${size} -h ${size} ${packaging}/vardel.svg -o ${png}
    DEPENDS ${packaging}/vardel.svg)
  list(APPEND made_files ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
foreach(page vardel.1 changelog)
  add_custom_command(OUTPUT ${made}/${page}.gz
    COMMAND gzip -9nc ${made}/${page} > ${made}/${page}.gz
    DEPENDS ${made}/${page})
  list(APPEND made_files ${made}/${page}.gz)
endforeach()
add_custom_target(packaging_files DEPENDS ${made_files})

install(FILES ${packaging}/vardel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/vardel.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${made}/vardel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/copyright ${made}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vardel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remove ID3 tags from MP3 files in place")
# CPack starts each line after the first with a space itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vardel cuts an ID3v1 trailer off the end of each MP3 file and
overwrites an ID3v2 tag at its start with zeros, without moving the
audio. It takes a file or a folder, shows a small progress window with
Cancel, and asks before each file while Shift is held. Files are
changed in place, with no undo.")
set(CPACK_PACKAGE_CONTACT "Vardel developers <vardel@example.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vardel developers <vardel@example.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
include(CPack)
