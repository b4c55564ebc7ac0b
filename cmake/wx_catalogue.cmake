# wx's Simplified Chinese catalogue for the Windows window program: the file
# of Debian's wx3.2-i18n (the translations the Linux program loads from
# /usr/share/locale), laid out beside each program that shows windows as
# locale/zh_CN/LC_MESSAGES/wxstd-3.2.mo, where the program looks for it
# (src/ui/common/chinese_locale.cpp).
#   postwing_wx_catalogue_beside(<target>)  copies it beside the target's file
# POSTWING_WX_CATALOGUE names the file.
set(POSTWING_WX_CATALOGUE_NAME wxstd-3.2.mo)
set(POSTWING_WX_CATALOGUE_SUBDIR locale/zh_CN/LC_MESSAGES)
find_file(POSTWING_WX_CATALOGUE ${POSTWING_WX_CATALOGUE_NAME}
  PATHS /usr/share/locale/zh_CN/LC_MESSAGES NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT POSTWING_WX_CATALOGUE)
  message(FATAL_ERROR "wx's Chinese catalogue ${POSTWING_WX_CATALOGUE_NAME} is missing: "
                      "apt-get install wx3.2-i18n")
endif()

function(postwing_wx_catalogue_beside target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory
            $<TARGET_FILE_DIR:${target}>/${POSTWING_WX_CATALOGUE_SUBDIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${POSTWING_WX_CATALOGUE}
            $<TARGET_FILE_DIR:${target}>/${POSTWING_WX_CATALOGUE_SUBDIR}/${POSTWING_WX_CATALOGUE_NAME}
    VERBATIM)
endfunction()
