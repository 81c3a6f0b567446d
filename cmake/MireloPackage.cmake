# The Debian package: `cpack -G DEB` in a build folder (or the `package` target) makes
# mirelo-video-converter_<version>_<arch>.deb with everything under /usr.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "mirelo-video-converter")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Mirelo Video Converter developers")
set(CPACK_PACKAGE_CONTACT "The Mirelo Video Converter developers <developers@mirelo.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video converter for devices and common formats")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "mirelo-video-converter")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "video")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://mirelo.org/video-converter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "video converter for devices and common formats\n"
  " Mirelo Video Converter turns video and audio files into files for portable\n"
  " players, phones, game consoles and TVs, or into common formats, with true\n"
  " progress, cancel and clear errors. It drives FFmpeg for the conversions and\n"
  " MPlayer for the preview and the file details. mirelo-cli does the same work\n"
  " from a terminal.")
# The shared libraries the programs link (Qt and the C++ runtime) are computed by
# dpkg-shlibdeps; the two programs the product drives are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SVG picture plugin draws the icons; it is loaded at run time, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, mplayer, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "yt-dlp")

include(CPack)
