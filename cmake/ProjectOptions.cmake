# SPDX-License-Identifier: MIT
# Compiler settings shared by every target, as INTERFACE targets to link against.

add_library(trevanto_warnings INTERFACE)
target_compile_options(trevanto_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wimplicit-fallthrough)

add_library(trevanto_sanitizers INTERFACE)
if(TREVANTO_SANITIZE)
  target_compile_options(trevanto_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(trevanto_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

# Hardened as distributions build programs: checked string and memory functions in optimised
# builds, relocations read-only and bound at start-up. The sanitizers bring checks of their own;
# Windows programs have neither ELF relocations nor glibc's checked functions.
if(NOT TREVANTO_SANITIZE AND NOT WIN32)
  add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()

# trevanto_library_headers(TARGET): the headers of the library in the current source folder
# src/NAME/, included as "NAME/file.h". Its include root is a folder of the build that holds one
# link, NAME -> src/NAME/, so a target reaches the headers of the libraries it links and of no
# other: an include up a floor ("import/..." in the engine, anything but "base/..." in the floor)
# does not build. (A root of src/ would reach every library.)
function(trevanto_library_headers target)
  cmake_path(GET CMAKE_CURRENT_SOURCE_DIR FILENAME name)
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
