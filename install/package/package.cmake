# The Debian package (./x package, the "package" preset): the program for
# every user under /usr, the links through which other screen savers find
# it, and what Debian asks of every package. Included with REELVISTA_PACKAGE.
set(package_sources ${PROJECT_SOURCE_DIR}/install/package)
set(package_staging ${PROJECT_BINARY_DIR}/package)
set(program_path "../../lib/reelvista/${REELVISTA_EXECUTABLE_NAME}")

# xscreensaver and mate-screensaver run hacks from /usr/libexec/xscreensaver
# only; xsecurelock runs the saver_* modules of its own folder.
file(MAKE_DIRECTORY ${package_staging}/xscreensaver ${package_staging}/xsecurelock)
file(CREATE_LINK ${program_path} ${package_staging}/xscreensaver/reelvista SYMBOLIC)
file(CREATE_LINK ${program_path} ${package_staging}/xsecurelock/saver_reelvista SYMBOLIC)
install(FILES ${package_staging}/xscreensaver/reelvista DESTINATION libexec/xscreensaver)
install(FILES ${package_staging}/xsecurelock/saver_reelvista DESTINATION libexec/xsecurelock)
install(FILES ${package_sources}/reelvista-theme.desktop DESTINATION share/applications/screensavers
        RENAME reelvista.desktop)
install(FILES ${PROJECT_SOURCE_DIR}/install/reelvista.svg
        DESTINATION share/icons/hicolor/scalable/apps)

# Compressed as Debian wants them: the most, and without a time stamp.
foreach(document reelvista.1 changelog)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${package_sources}/${document})
  execute_process(COMMAND gzip -9nc ${package_sources}/${document}
                  OUTPUT_FILE ${package_staging}/${document}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${package_staging}/reelvista.1.gz DESTINATION share/man/man1)
install(FILES ${package_staging}/changelog.gz DESTINATION share/doc/reelvista
        RENAME changelog.Debian.gz)
install(FILES ${package_sources}/copyright DESTINATION share/doc/reelvista)
install(FILES ${package_sources}/lintian-overrides DESTINATION share/lintian/overrides
        RENAME reelvista)
install(FILES ${package_sources}/pam-reelvista DESTINATION /etc/pam.d RENAME reelvista)

set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/out)
set(CPACK_PACKAGE_NAME reelvista)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Reelvista developers <reelvista@example.org>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS mpv)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xsecurelock | mate-screensaver | xss-lock")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${package_sources}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver that plays your own video and sound files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reelvista plays the video and sound files of a play list full screen, in
random order, until a key or a mouse button ends it, and asks for the login
password first when the desktop is set to lock. A settings dialog keeps the
play list; a search dialog finds media.
.
It runs on its own under an idle daemon such as xss-lock, and as a hack of
xscreensaver, xsecurelock and mate-screensaver, on every monitor.")
include(CPack)
