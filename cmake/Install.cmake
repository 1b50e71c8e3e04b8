# What `cmake --install` puts in place, and the Debian package made from it
# by `cpack -G DEB`: the two programs, the demo service, the desktop entry,
# the icon (SVG and a 256 px PNG), the AppStream metainfo, the manual pages
# and zorvan-cli's bash and zsh completions.
include(GNUInstallDirs)

install(TARGETS zorvan zorvan-cli zorvan-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The demo service, to try the program at once: the binary out of the path,
# started by zorvan-demo-service, which makes its clips at first use.
install(TARGETS demo-service RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/zorvan)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/data/zorvan-demo-service DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/scripts/make-demo-media DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvan)

# A daily "zorvan-cli sync" for the user who wants it:
#   systemctl --user enable --now zorvan-sync.timer
# The service names the program where it is installed, known only then
# (`cmake --install --prefix`, the package's /usr).
install(CODE "
  file(READ \"${CMAKE_SOURCE_DIR}/data/zorvan-sync.service.in\" unit)
  string(REPLACE \"@ZORVAN_BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" unit \"\${unit}\")
  file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/zorvan-sync.service\" \"\${unit}\")
")
install(FILES ${CMAKE_SOURCE_DIR}/data/zorvan-sync.timer DESTINATION lib/systemd/user)

# The home server, for one user (systemctl --user enable --now zorvan-server)
# or as a system service under its own account.
install(CODE "
  foreach(kind user system)
    file(READ \"${CMAKE_SOURCE_DIR}/data/zorvan-server.\${kind}.service.in\" unit)
    string(REPLACE \"@ZORVAN_BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" unit \"\${unit}\")
    file(WRITE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/\${kind}/zorvan-server.service\" \"\${unit}\")
  endforeach()
")
install(FILES ${CMAKE_SOURCE_DIR}/data/zorvan.sysusers DESTINATION lib/sysusers.d RENAME zorvan.conf)

# The same id as appId in src/download_policy/app_id.h.
set(ZORVAN_APP_ID app.zorvan.Zorvan)
install(FILES ${CMAKE_SOURCE_DIR}/data/${ZORVAN_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/${ZORVAN_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/${ZORVAN_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/${ZORVAN_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Plain, not gzipped: man reads them either way.
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/zorvan.1 ${CMAKE_SOURCE_DIR}/docs/man/zorvan-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Where bash-completion finds a command's completion by its name at the
# first <Tab>, and where Debian's zsh reads the #compdef files of packages.
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/zorvan-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zorvan-cli)
install(FILES ${CMAKE_SOURCE_DIR}/data/completion/_zorvan-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

set(CPACK_PACKAGE_NAME zorvan)
set(CPACK_PACKAGE_VENDOR "The Zorvan developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Save the short music videos a performer has published")
set(CPACK_PACKAGE_DESCRIPTION
    "Lists a performer's works on a video service, previews them in a built-in player, downloads them fast over several connections and plays what was saved. Includes zorvan-cli, and zorvan-server to run the downloads on a home server steered from a browser or a phone.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Zorvan developers <zorvan@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# Libraries it links come from dpkg-shlibdeps; what it loads at run time
# does not show there: the GStreamer plugins that decode the clips, a font
# with the Chinese texts, and the CA store its https downloads trust.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, fonts-wqy-microhei | fonts-noto-cjk, ca-certificates")
# The demo service's clips are made with it at first use.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg")
include(CPack)
