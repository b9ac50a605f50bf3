# Where `cmake --install` puts the program, its data and tools, the desktop entry, the icons, the
# AppStream metainfo and the manual pages; and the .deb that CPack makes of the same files.
# The installed program finds its data at ../share/quellmoor beside its bin/ folder, so the tree
# may go under any prefix (or DESTDIR) as it is.

if(NOT TARGET quellmoor)
  return()
endif()

set(QM_RELEASE_DATE 2026-12-09)
set(QM_APP_ID org.example.vandrel.quellmoor)
set(QM_INSTALL_DATADIR ${CMAKE_INSTALL_FULL_DATADIR}/quellmoor)
set(dist ${PROJECT_SOURCE_DIR}/dist)
set(staged ${CMAKE_BINARY_DIR}/dist)

install(TARGETS quellmoor quellmoor-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quellmoor-view)
  install(TARGETS quellmoor-view RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(data_files ${CMAKE_BINARY_DIR}/quellmor.dat ${CMAKE_BINARY_DIR}/quellmoor.png)
if(TARGET forge_music)
  list(APPEND data_files ${CMAKE_BINARY_DIR}/quellmor.xm ${CMAKE_BINARY_DIR}/end.xm)
endif()
install(FILES ${data_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/quellmoor)

set(icons ${CMAKE_BINARY_DIR}/forge/icons)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${icons}/quellmoor-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME quellmoor.png)
endforeach()
install(FILES ${icons}/quellmoor.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

install(FILES ${dist}/${QM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${dist}/${QM_APP_ID}.metainfo.xml.in ${staged}/${QM_APP_ID}.metainfo.xml @ONLY)
install(FILES ${staged}/${QM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

foreach(page quellmoor.6 quellmoor-pack.1 quellmoor-view.1)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${staged}/${page} @ONLY)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${staged}/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# `cmake --build --preset release --target package`: quellmoor_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quellmoor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Peatcutter <peatcutter@vandrel.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual show drawn by the processor alone")
# The Description field's first line is the summary; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quellmoor is a demo: twelve scripted parts of 2D effects, software-rendered
3D scenes, an isosurface and a small raytracer, drawn by the processor into a
letterboxed screen and played to tracker music. It starts from a small setup
dialog, plays full screen or in a window, and can record itself to a video.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vandrel.example.org/quellmoor)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
