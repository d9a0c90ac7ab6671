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

# The folders the project's scripts build into a cache (scripts/cross-build-deps, and for the
# window's build scripts/cross-build-qt): asked at every configure (it is quick), so that a build
# folder made before they changed takes the new folder, and forgets what it had found in the old
# one; a folder given by hand is kept when the script has none built.
function(trevanto_take_built_folder variable script description hint)
  execute_process(COMMAND ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../scripts/${script} --prefix
    OUTPUT_VARIABLE built OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE found)
  if(found EQUAL 0 AND built)
    if(${variable} AND NOT ${variable} STREQUAL built)
      get_cmake_property(cached CACHE_VARIABLES)
      foreach(entry IN LISTS cached)
        string(FIND "${${entry}}" "${${variable}}" old_folder_at)
        if(old_folder_at GREATER_EQUAL 0 OR entry MATCHES "^__pkg_config_checked_")
          unset(${entry} CACHE)
        endif()
      endforeach()
    endif()
    set(${variable} ${built} CACHE PATH "${description} (scripts/${script})" FORCE)
  elseif(NOT ${variable})
    message(FATAL_ERROR "${description}: not built yet: run scripts/${script} (${hint}).")
  endif()
  set(${variable} ${${variable}} PARENT_SCOPE)
  list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ${variable})
  set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ${CMAKE_TRY_COMPILE_PLATFORM_VARIABLES} PARENT_SCOPE)
endfunction()

trevanto_take_built_folder(TREVANTO_MINGW_DEPS cross-build-deps "Cross-built Windows libraries"
  "make windows does it first")
# The window's build also takes the Qt for Windows (make windows-window builds it first); the
# programs then read the window's settings (--settings).
if(TREVANTO_BUILD_UI OR TREVANTO_MINGW_QT)
  trevanto_take_built_folder(TREVANTO_MINGW_QT cross-build-qt "Qt for Windows"
    "make windows-window does it first; it takes about 45 minutes")
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
