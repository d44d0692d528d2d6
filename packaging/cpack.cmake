# The Debian package: `cpack -G DEB` in a build folder configured with the
# programs on (-DPUDLET_BUILD_CLI=ON -DPUDLET_BUILD_HOSTS=ON). Included from
# the top level, where include(CPack) reads these.
set(CPACK_PACKAGE_NAME pudlet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Pudlet developers")
set(CPACK_PACKAGE_CONTACT "${PUDLET_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-dimensional particle sandbox")
set(CPACK_PACKAGE_DESCRIPTION
  "Paint water, walls, rigid bodies, springs, elastic matter, powder, fuel,
fire, snow and more into a scene and watch it flow, burn, boil, tumble and
break, live. The package holds the desktop programs Pudlet (one window) and
PudletMac (one window per scene with floating panels), the headless tool
pudlet-cli (runs scenes without a display and writes pictures and videos) and
the demo scenes.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found at run time rather than linked: the EGL and OpenGL drivers that draw
# headless (Mesa's software one where there is no GPU).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libegl-mesa0, libgl1-mesa-dri")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
