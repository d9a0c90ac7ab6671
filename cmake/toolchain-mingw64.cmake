# SPDX-License-Identifier: MIT
# The Windows build, made on Debian: mingw-w64's compilers with POSIX threads (std::thread,
# std::mutex), the libraries scripts/cross-build-deps built into its cache folder, and the programs
# and tests run under wine (ctest, gtest_discover_tests) in a wine prefix of the build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TREVANTO_MINGW_HOST x86_64-w64-mingw32)
# The posix variant explicitly: the win32 one has no std::thread in GCC 12.
set(CMAKE_C_COMPILER ${TREVANTO_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TREVANTO_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TREVANTO_MINGW_HOST}-windres)

# The cache folder of the cross-built libraries; scripts/cross-build-deps prints it once built.
# Asked at every configure (it is quick), so that a build folder made before the libraries changed
# takes the new folder instead of the one it first found; a folder given by hand is kept when the
# script has none built.
execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/cross-build-deps --prefix
  OUTPUT_VARIABLE trevanto_built_deps OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE deps_found)
if(deps_found EQUAL 0 AND trevanto_built_deps)
  if(TREVANTO_MINGW_DEPS AND NOT TREVANTO_MINGW_DEPS STREQUAL trevanto_built_deps)
    # What was found in the old folder is looked for again in the new one.
    get_cmake_property(trevanto_cached CACHE_VARIABLES)
    foreach(variable IN LISTS trevanto_cached)
      string(FIND "${${variable}}" "${TREVANTO_MINGW_DEPS}" old_folder_at)
      if(old_folder_at GREATER_EQUAL 0 OR variable MATCHES "^__pkg_config_checked_")
        unset(${variable} CACHE)
      endif()
    endforeach()
  endif()
  set(TREVANTO_MINGW_DEPS ${trevanto_built_deps} CACHE PATH "Cross-built Windows libraries (scripts/cross-build-deps)" FORCE)
elseif(NOT TREVANTO_MINGW_DEPS)
  message(FATAL_ERROR "The Windows libraries are not built yet: run scripts/cross-build-deps "
    "(make windows does it first).")
endif()
set(TREVANTO_MINGW_DEPS ${TREVANTO_MINGW_DEPS} CACHE PATH "Cross-built Windows libraries (scripts/cross-build-deps)")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TREVANTO_MINGW_DEPS)

# The window's build also takes the Qt for Windows that scripts/cross-build-qt built (make
# windows-window builds it first); the programs then read the window's settings (--settings).
if(TREVANTO_BUILD_UI AND NOT TREVANTO_MINGW_QT)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/cross-build-qt --prefix
    OUTPUT_VARIABLE TREVANTO_MINGW_QT OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE qt_found)
  if(NOT qt_found EQUAL 0 OR NOT TREVANTO_MINGW_QT)
    message(FATAL_ERROR "Qt for Windows is not built yet: run scripts/cross-build-qt "
      "(make windows-window does it first; it takes an hour or more).")
  endif()
endif()
if(TREVANTO_MINGW_QT)
  set(TREVANTO_MINGW_QT ${TREVANTO_MINGW_QT} CACHE PATH "Qt for Windows (scripts/cross-build-qt)")
  list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TREVANTO_MINGW_QT)
  list(APPEND CMAKE_PREFIX_PATH ${TREVANTO_MINGW_QT})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TREVANTO_MINGW_HOST} ${TREVANTO_MINGW_DEPS} ${TREVANTO_MINGW_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The libraries' own CMake packages first: they say what a static library's users must define
# (LIBXML_STATIC, CURL_STATICLIB), which the find modules do not.
set(CMAKE_FIND_PACKAGE_PREFER_CONFIG ON)
# pkg-config sees the cross-built libraries only, never the machine's own.
set(ENV{PKG_CONFIG_LIBDIR} ${TREVANTO_MINGW_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Every program links its C and C++ runtime and the thread library statically: one .exe each,
# no DLLs to ship beside it or to find under wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# The wine prefix lives in the build folder: made on first use, removed with the folder.
cmake_path(ABSOLUTE_PATH CMAKE_CURRENT_LIST_DIR NORMALIZE OUTPUT_VARIABLE trevanto_cmake_dir)
set(CMAKE_CROSSCOMPILING_EMULATOR ${trevanto_cmake_dir}/../scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wine)
