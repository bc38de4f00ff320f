# What `cmake --install` puts into the Windows folder that ./scripts/package-windows
# zips (and the installer takes): the programs, the READMEs in English and
# Chinese with Windows line ends, and ConfigFile\ with an example port map.
set(QUILLON_WINDOWS_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging/windows)
set(QUILLON_GENERATED_DIR ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS quillon-bridge RUNTIME DESTINATION .)
if(TARGET quillon)
  install(TARGETS quillon RUNTIME DESTINATION .)
endif()
foreach(file README.txt README.zh_CN.txt ports.ini.example)
  configure_file(${QUILLON_WINDOWS_PACKAGING_DIR}/${file} ${QUILLON_GENERATED_DIR}/${file} @ONLY NEWLINE_STYLE CRLF)
endforeach()
install(FILES ${QUILLON_GENERATED_DIR}/README.txt ${QUILLON_GENERATED_DIR}/README.zh_CN.txt DESTINATION .)
install(FILES ${QUILLON_GENERATED_DIR}/ports.ini.example DESTINATION ConfigFile)
