# wxWidgets for Windows (static wxMSW) when cross-building with mingw-w64: the
# build that scripts/build-wxmsw.sh keeps in its cache folder outside the
# clone. Defines POSTWING_WXMSW_FOUND and, when found, the imported target
# postwing::wxmsw (compile flags and the static libraries html, core, base)
# and POSTWING_WXMSW_RC_DEFINITIONS for the resource compiler.
#
# POSTWING_WXMSW_DIR names the folder; by default the script is asked for it.
# The search is repeated at every configure, so that a configure after the
# library has been built finds it.
if(TARGET postwing::wxmsw)
  return()
endif()

set(POSTWING_WXMSW_FOUND FALSE)
set(_wxmsw_dir "${POSTWING_WXMSW_DIR}")
if(NOT _wxmsw_dir)
  execute_process(
    COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/build-wxmsw.sh --print-dir
    OUTPUT_VARIABLE _wxmsw_dir OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE _wxmsw_rc ERROR_QUIET)
  if(NOT _wxmsw_rc EQUAL 0)
    set(_wxmsw_dir "")
  endif()
endif()

if(NOT _wxmsw_dir OR NOT EXISTS "${_wxmsw_dir}/.complete")
  message(STATUS "wxMSW: not built yet (bash scripts/build-wxmsw.sh); no window program")
  return()
endif()

set(_wx_config sh "${_wxmsw_dir}/bin/wx-config" --static=yes --unicode=yes)
execute_process(COMMAND ${_wx_config} --cxxflags
  OUTPUT_VARIABLE _wx_cxxflags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _rc1)
execute_process(COMMAND ${_wx_config} --libs html,core,base
  OUTPUT_VARIABLE _wx_libs OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _rc2)
if(NOT _rc1 EQUAL 0 OR NOT _rc2 EQUAL 0)
  message(WARNING "wxMSW: wx-config in ${_wxmsw_dir} failed; no window program")
  return()
endif()
separate_arguments(_wx_cxxflags UNIX_COMMAND "${_wx_cxxflags}")
separate_arguments(_wx_libs UNIX_COMMAND "${_wx_libs}")

set(_includes "")
set(_defines "")
set(_options "")
foreach(flag IN LISTS _wx_cxxflags)
  if(flag MATCHES "^-I(.+)")
    list(APPEND _includes "${CMAKE_MATCH_1}")
  elseif(flag MATCHES "^-D(.+)")
    list(APPEND _defines "${CMAKE_MATCH_1}")
  else()
    list(APPEND _options "${flag}")
  endif()
endforeach()

add_library(postwing::wxmsw INTERFACE IMPORTED)
# SYSTEM: the library's own headers are not held to the project's warnings.
set_target_properties(postwing::wxmsw PROPERTIES
  INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${_includes}"
  INTERFACE_INCLUDE_DIRECTORIES "${_includes}"
  INTERFACE_COMPILE_DEFINITIONS "${_defines}"
  INTERFACE_COMPILE_OPTIONS "$<$<COMPILE_LANGUAGE:CXX>:${_options}>"
  # libpng was built beside wxMSW; zlib is Debian's libz-mingw-w64-dev.
  INTERFACE_LINK_LIBRARIES "-L${_wxmsw_dir}/deps/lib;${_wx_libs}")

# What `wx-config --rescomp` passes to windres (wx.rc defines the processor
# itself), and the per-monitor DPI awareness manifest of wx.rc.
set(POSTWING_WXMSW_RC_DEFINITIONS __WIN32__ __GNUWIN32__ wxUSE_DPI_AWARE_MANIFEST=2)
set(POSTWING_WXMSW_FOUND TRUE)
message(STATUS "wxMSW: ${_wxmsw_dir}")
