# What `cmake --install` puts beside the programs (links in bin/, desktop
# entry, AppStream metainfo, icons, licence notes) and the Debian package
# `cpack -G DEB` makes of it.
set(dp_packaging ${CMAKE_SOURCE_DIR}/packaging)

# Relative links, so that the tree works under any prefix and DESTDIR; the
# programs resolve them to find their folder.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging/bin)
foreach(program discpress discpress-cli)
  file(CREATE_LINK ../${DP_INSTALL_PROGRAM_DIR}/${program} ${CMAKE_BINARY_DIR}/packaging/bin/${program} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/bin/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

install(FILES ${dp_packaging}/discpress.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dp_packaging}/io.github.discpress.DiscPress.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${dp_packaging}/discpress.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${dp_packaging}/icons/discpress-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME discpress.png)
endforeach()
install(FILES ${dp_packaging}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A package is made from a release build only: sanitizer builds need their
# run-time libraries and options, and are for the tests.
if(DP_SANITIZE)
  return()
endif()

set(DP_PACKAGE_MAINTAINER "DiscPress developers <discpress@localhost>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME discpress)
set(CPACK_PACKAGE_VENDOR DiscPress)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Blu-ray and MKV converter to AVCHD, Blu-ray or MKV")
set(CPACK_PACKAGE_DESCRIPTION
    "DiscPress converts a decrypted Blu-ray folder, a playlist, a clip or an MKV file into an AVCHD \
folder sized for a medium, a Blu-ray remux or 2D+3D image, or an MKV file, by driving x264, x265, \
mkvmerge and other tools from a job queue. It comes with a command-line front end, discpress-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DP_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries the programs link come from dpkg-shlibdeps; the tools they
# start and the MediaInfo library they open at run time are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "x264, x265, mkvtoolnix, ffmpeg, libmediainfo0v5, default-jre-headless | java-runtime-headless")
# Only the 2D+3D image needs genisoimage.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS genisoimage)
include(CPack)
