# What `cmake --install` puts where, and the Debian package CPack makes of it (`cpack -G DEB` in the
# release tree; tools/package.sh does both). Only the two programs and their data are installed:
# nothing the tests or the benchmarks use.
include(GNUInstallDirs)

# Installing and packaging need only what is installed built, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_CONTACT "Lumo developers <lumo@example.org>")  # also the change log's signer
set(LUMO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/lumo)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(lumo_pages lumo-render)
install(TARGETS lumo-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(LUMO_BUILD_QT)
  list(APPEND lumo_pages lumo)
  install(TARGETS lumo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES data/lumo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 48 128 256)
    install(FILES data/icons/lumo-${size}.png RENAME lumo.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  install(FILES data/icons/lumo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Manual pages and the change log go in compressed, as man and Debian expect; -n keeps the name and
# time out of the archive, so the same page always packs to the same bytes.
set(lumo_compressed)
foreach(page ${lumo_pages})
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  configure_file(data/man/${page}.1.in ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)  # the version
  add_custom_command(OUTPUT ${gz}
    COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${CMAKE_BINARY_DIR}/man/${page}.1 ${gz}
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1 VERBATIM)
  list(APPEND lumo_compressed ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

string(TIMESTAMP LUMO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(data/debian/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/changelog.gz
  COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${CMAKE_BINARY_DIR}/doc/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog VERBATIM)
list(APPEND lumo_compressed ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_target(lumo_docs ALL DEPENDS ${lumo_compressed})

# The licence goes where Debian looks for it, under the name it looks for.
install(FILES README.md docs/scene-format.md ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${LUMO_DOC_DIR})
install(FILES LICENSE DESTINATION ${LUMO_DOC_DIR} RENAME copyright)

if(EXISTS ${CMAKE_SOURCE_DIR}/scenes)
  install(DIRECTORY scenes/ DESTINATION ${CMAKE_INSTALL_DATADIR}/lumo/scenes)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Lumo developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive real-time ray tracer")
set(CPACK_PACKAGE_DESCRIPTION
  "Lumo renders animated demo scenes in a window, frame after frame, as fast
as the machine allows: mirrors, dispersive glass with Fresnel weighting, soft
shadows from area lights, photon-mapped caustics and global illumination. The
menus choose the scene, the shader, the sampling, anti-aliasing, the photon
maps and the number of render threads; dragging the mouse orbits the camera.

The package also contains lumo-render, which renders the same scenes without
a window: stills and numbered frame sequences as PNG, picture comparisons and
benchmarks.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
