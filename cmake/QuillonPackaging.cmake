# What `cmake --install` puts where, and the Debian package made from it by
# CPack (./scripts/package). Paths are relative to the prefix (/usr in the
# package) unless they must sit elsewhere.
include(GNUInstallDirs)

set(QUILLON_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUILLON_GENERATED_DIR ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${QUILLON_GENERATED_DIR})

install(TARGETS quillon-bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quillon)
  install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QUILLON_PACKAGING_DIR}/quillon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QUILLON_PACKAGING_DIR}/org.quillon.Quillon.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${QUILLON_PACKAGING_DIR}/quillon.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # The bitmap sizes are drawn from the SVG when the tool is at hand.
  find_program(QUILLON_RSVG_CONVERT rsvg-convert)
  if(QUILLON_RSVG_CONVERT)
    set(icon_outputs)
    foreach(size 16 24 32 48 64 128 256)
      set(png ${QUILLON_GENERATED_DIR}/icons/${size}x${size}/quillon.png)
      add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLON_GENERATED_DIR}/icons/${size}x${size}
        COMMAND ${QUILLON_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${QUILLON_PACKAGING_DIR}/quillon.svg
        DEPENDS ${QUILLON_PACKAGING_DIR}/quillon.svg VERBATIM)
      list(APPEND icon_outputs ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(quillon_icons ALL DEPENDS ${icon_outputs})
  endif()
endif()

# Manual pages and the changelog go in compressed, as Debian wants them.
set(gzipped)
foreach(source quillon.1 quillon-bridge.1 quillon-bridge.zh_CN.1 changelog)
  set(out ${QUILLON_GENERATED_DIR}/${source}.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND gzip -9nc ${QUILLON_PACKAGING_DIR}/${source} > ${out}
    DEPENDS ${QUILLON_PACKAGING_DIR}/${source})
  list(APPEND gzipped ${out})
endforeach()
add_custom_target(quillon_docs ALL DEPENDS ${gzipped})
install(FILES ${QUILLON_GENERATED_DIR}/quillon-bridge.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${QUILLON_GENERATED_DIR}/quillon-bridge.zh_CN.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/zh_CN/man1
        RENAME quillon-bridge.1.gz)
if(TARGET quillon)
  install(FILES ${QUILLON_GENERATED_DIR}/quillon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${QUILLON_GENERATED_DIR}/changelog.gz ${QUILLON_PACKAGING_DIR}/copyright
              ${QUILLON_PACKAGING_DIR}/example.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)
install(FILES ${QUILLON_PACKAGING_DIR}/quillon-bridge@.service DESTINATION lib/systemd/system)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGE_CONTACT "Quillon developers <quillon@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial port to UDP bridge, with a window or headless")
# The synopsis is the summary above; this is the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillon reads every byte that arrives on a serial port and sends it to a UDP
peer in frames of exactly 128, 256, 512 or 1024 bytes. The window shows what
arrives and counts bytes and frames. quillon-bridge does the same without a
window and comes with a systemd unit, one bridge per configuration file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the Qt platform plugins and a font
# with Chinese glyphs are no library dependency but the window needs them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
