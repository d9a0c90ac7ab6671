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
