# The installed layout of a Linux desktop program (cmake --install, and the
# Debian package built from it; see docs/packaging.md). Only Linux: the
# Windows build has its own installer.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)

set(POSTWING_APP_ID com.example.Postwing)
set(POSTWING_LINUX ${PROJECT_SOURCE_DIR}/packaging/linux)

foreach(program IN ITEMS postwing postwing-send)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(PROGRAMS ${POSTWING_LINUX}/postwing-launch DESTINATION ${CMAKE_INSTALL_BINDIR})

# Menu entry, software-centre data and the icon at every size the desktop asks for.
install(FILES ${POSTWING_LINUX}/${POSTWING_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${POSTWING_LINUX}/${POSTWING_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN ITEMS 16 32 48)
  install(FILES ${PROJECT_SOURCE_DIR}/res/128_icon_${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${POSTWING_APP_ID}.png)
endforeach()
foreach(size IN ITEMS 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/icon_${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${POSTWING_APP_ID}.png)
endforeach()

# What the launcher copies into a new Postwing folder.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/runtime/help ${PROJECT_SOURCE_DIR}/runtime/mail
        DESTINATION ${CMAKE_INSTALL_DATADIR}/postwing)
install(FILES ${PROJECT_SOURCE_DIR}/runtime/address.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/postwing)
# The settings a new folder starts with: the sample mail folder and list, keep-going on.
install(FILES ${PROJECT_SOURCE_DIR}/runtime/ini/Stmp.Ini DESTINATION ${CMAKE_INSTALL_DATADIR}/postwing/ini)

# Manual pages, English and Chinese; the launcher's page is the program's.
foreach(lang_dir IN ITEMS "" "zh_CN/")
  install(FILES ${POSTWING_LINUX}/man/${lang_dir}postwing.1 ${POSTWING_LINUX}/man/${lang_dir}postwing-send.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/${lang_dir}man1)
  install(CODE "file(CREATE_LINK postwing.1
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/${lang_dir}man1/postwing-launch.1\" SYMBOLIC)")
endforeach()

# systemd user units: postwing-send in a working folder on a calendar. User
# units live in lib/systemd/user under the prefix on every architecture. The
# service names the program by its full path, so it takes the prefix given
# when the build is configured.
configure_file(${POSTWING_LINUX}/postwing-send@.service.in
               ${PROJECT_BINARY_DIR}/packaging/postwing-send@.service @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/postwing-send@.service ${POSTWING_LINUX}/postwing-send@.timer
        DESTINATION lib/systemd/user)
