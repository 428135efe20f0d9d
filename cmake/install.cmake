# Installing tessel (`cmake --install`, `make install`) and packaging it as a
# Debian package (`cpack -G DEB`, `make package`).
#
# Layout under the prefix:
#   bin/tessel                         the interpreter
#   lib/tessel/libtessel_{sdl,font}.so its modules (the loader looks in
#                                      <exe dir>/../lib/tessel/ after <exe dir>/)
#   share/man/man1/tessel.1.gz         the man page
#   share/doc/tessel/                  README, guide, reference, images,
#                                      examples, copyright, changelog
#   share/applications/tessel.desktop  opens .tsl files from a file manager
#   share/mime/packages/tessel.xml     *.tsl as text/x-tessel
#   share/vim/vimfiles/                the Vim syntax, ftplugin and ftdetect files

set(TESSEL_DOC_DIR share/doc/tessel)
set(TESSEL_DIST ${CMAKE_SOURCE_DIR}/dist)

install(TARGETS tessel RUNTIME DESTINATION bin)
install(TARGETS tessel_sdl tessel_font LIBRARY DESTINATION lib/tessel)

# Debian wants the man page and the changelog compressed without a time
# stamp (gzip -n), so the package is the same from build to build.
find_program(TESSEL_GZIP gzip REQUIRED)
set(TESSEL_MAN_GZ ${CMAKE_BINARY_DIR}/dist/tessel.1.gz)
set(TESSEL_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/dist/changelog.gz)
add_custom_command(OUTPUT ${TESSEL_MAN_GZ} ${TESSEL_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dist
  COMMAND ${TESSEL_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/docs/tessel.1 > ${TESSEL_MAN_GZ}
  COMMAND ${TESSEL_GZIP} -9n -c ${TESSEL_DIST}/changelog > ${TESSEL_CHANGELOG_GZ}
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/tessel.1 ${TESSEL_DIST}/changelog
  COMMENT "Compressing the man page and the changelog" VERBATIM)
# Made only when installing or packaging, never by the default target.
add_custom_target(tessel_dist_files DEPENDS ${TESSEL_MAN_GZ} ${TESSEL_CHANGELOG_GZ})
install(CODE "execute_process(COMMAND \"${CMAKE_COMMAND}\" --build \"${CMAKE_BINARY_DIR}\"
  --target tessel_dist_files RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR \"could not compress the man page and the changelog\")
endif()")

install(FILES ${TESSEL_MAN_GZ} DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/guide.md
  ${CMAKE_SOURCE_DIR}/docs/reference.md ${CMAKE_SOURCE_DIR}/docs/demo.png
  ${TESSEL_DIST}/copyright ${TESSEL_CHANGELOG_GZ}
  DESTINATION ${TESSEL_DOC_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/images DESTINATION ${TESSEL_DOC_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${TESSEL_DOC_DIR}/examples)
install(FILES ${TESSEL_DIST}/tessel.desktop DESTINATION share/applications)
install(FILES ${TESSEL_DIST}/tessel.xml DESTINATION share/mime/packages)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/editors/vim/ DESTINATION share/vim/vimfiles)

# The Debian package. Its library dependencies come from dpkg-shlibdeps run
# over the binary and the modules; the default font's stand-in is added.
set(CPACK_PACKAGE_NAME tessel)
# The version is the one `tessel --version` prints.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/host/version.h TESSEL_VERSION_LINE REGEX "kVersion\\[\\]")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" CPACK_PACKAGE_VERSION "${TESSEL_VERSION_LINE}")
set(CPACK_PACKAGE_VENDOR "tessel developers")
set(CPACK_PACKAGE_CONTACT "tessel developers <maintainers@users.noreply.c-seed-3021d6a8.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interpreter for a small line-oriented graphics scripting language")
# The long description, in plain paragraphs: CPack puts the summary above it
# and indents it as the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tessel runs scripts written in a small line-oriented language with
graphics, window events and input boxes. A script draws into an 800x600
window, reacts to the mouse, the keyboard and a timer, and reads text
from input boxes; it can also run headless and save what it drew as PNG.

This package holds the interpreter, its man page, a guide, a reference,
example scripts and Vim syntax files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION interpreters)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-dejavu-core)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
