# The Windows release folder, build/win64/dist: postwing.exe and
# postwing-send.exe (optimised, without debugging information), help\index.htm,
# wx's Chinese catalogue (locale\zh_CN\LC_MESSAGES\wxstd-3.2.mo), and the
# Chinese installer made by Debian's makensis (when it is installed).
set(POSTWING_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
set(POSTWING_SETUP_EXE ${POSTWING_DIST_DIR}/Postwing-${PROJECT_VERSION}-setup-x64.exe)
find_program(POSTWING_STRIP NAMES ${POSTWING_MINGW_PREFIX}-strip REQUIRED)
set(POSTWING_DIST_CATALOGUE
    ${POSTWING_DIST_DIR}/${POSTWING_WX_CATALOGUE_SUBDIR}/${POSTWING_WX_CATALOGUE_NAME})

add_custom_command(
  OUTPUT ${POSTWING_DIST_DIR}/postwing.exe ${POSTWING_DIST_DIR}/postwing-send.exe
         ${POSTWING_DIST_DIR}/help/index.htm ${POSTWING_DIST_CATALOGUE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${POSTWING_DIST_DIR}/help
  COMMAND ${CMAKE_COMMAND} -E make_directory ${POSTWING_DIST_DIR}/${POSTWING_WX_CATALOGUE_SUBDIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${POSTWING_WX_CATALOGUE} ${POSTWING_DIST_CATALOGUE}
  COMMAND ${POSTWING_STRIP} -o ${POSTWING_DIST_DIR}/postwing.exe $<TARGET_FILE:postwing>
  COMMAND ${POSTWING_STRIP} -o ${POSTWING_DIST_DIR}/postwing-send.exe $<TARGET_FILE:postwing-send>
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/runtime/help/index.htm
          ${POSTWING_DIST_DIR}/help/index.htm
  DEPENDS postwing postwing-send ${PROJECT_SOURCE_DIR}/runtime/help/index.htm
          ${POSTWING_WX_CATALOGUE}
  COMMENT "Windows release folder ${POSTWING_DIST_DIR}")
set(POSTWING_DIST_FILES ${POSTWING_DIST_DIR}/postwing.exe ${POSTWING_DIST_DIR}/postwing-send.exe
    ${POSTWING_DIST_DIR}/help/index.htm ${POSTWING_DIST_CATALOGUE})

find_program(POSTWING_MAKENSIS makensis)
if(POSTWING_MAKENSIS)
  add_custom_command(
    OUTPUT ${POSTWING_SETUP_EXE}
    COMMAND ${POSTWING_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
            -DDISTDIR=${POSTWING_DIST_DIR} -DRESDIR=${PROJECT_SOURCE_DIR}/res
            -DOUTFILE=${POSTWING_SETUP_EXE} ${PROJECT_SOURCE_DIR}/installer/postwing.nsi
    DEPENDS ${POSTWING_DIST_FILES} ${PROJECT_SOURCE_DIR}/installer/postwing.nsi
            ${PROJECT_SOURCE_DIR}/res/128_icon.ico
    COMMENT "Installer ${POSTWING_SETUP_EXE}")
  list(APPEND POSTWING_DIST_FILES ${POSTWING_SETUP_EXE})
else()
  message(STATUS "makensis not found: no installer")
endif()
add_custom_target(postwing-dist ALL DEPENDS ${POSTWING_DIST_FILES})
