# OpenSSL for Windows when cross-building with mingw-w64: the static build that
# scripts/build-openssl-mingw.sh keeps in its cache folder outside the clone.
# Defines the imported target postwing::openssl (headers, libssl.a,
# libcrypto.a and the system libraries they call).
#
# POSTWING_OPENSSL_DIR names the folder (scripts/test-windows.sh passes it);
# without it the script is asked for its finished build, and runs the build
# (about 3 minutes) when there is none yet, since the program cannot be built
# without TLS.
if(TARGET postwing::openssl)
  return()
endif()

set(_openssl_dir "${POSTWING_OPENSSL_DIR}")
set(_openssl_script ${PROJECT_SOURCE_DIR}/scripts/build-openssl-mingw.sh)
if(NOT _openssl_dir)
  execute_process(COMMAND bash ${_openssl_script} --print-dir
    OUTPUT_VARIABLE _openssl_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT _openssl_dir OR NOT EXISTS "${_openssl_dir}/.complete")
  message(STATUS "OpenSSL for Windows: not built yet, building it (bash scripts/build-openssl-mingw.sh)")
  execute_process(COMMAND bash ${_openssl_script} RESULT_VARIABLE _openssl_rc)
  execute_process(COMMAND bash ${_openssl_script} --print-dir
    OUTPUT_VARIABLE _openssl_dir OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT _openssl_dir OR NOT EXISTS "${_openssl_dir}/.complete")
  message(FATAL_ERROR "OpenSSL for Windows is missing: bash scripts/build-openssl-mingw.sh failed")
endif()
message(STATUS "OpenSSL for Windows: ${_openssl_dir}")

add_library(postwing::openssl INTERFACE IMPORTED)
target_include_directories(postwing::openssl SYSTEM INTERFACE "${_openssl_dir}/include")
target_link_libraries(postwing::openssl INTERFACE
  "${_openssl_dir}/lib/libssl.a" "${_openssl_dir}/lib/libcrypto.a"
  ws2_32 crypt32 user32 advapi32)
