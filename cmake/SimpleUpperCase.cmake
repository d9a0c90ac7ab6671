# SPDX-License-Identifier: MIT
# Writes Unicode's simple upper-case mapping as a C++ table of {code point, upper case} pairs in
# code point order, from field 12 of the character database's UnicodeData.txt.
#   cmake -DUNICODE_DATA=/usr/share/unicode/UnicodeData.txt -DOUTPUT=simple_upper_case.inc -P SimpleUpperCase.cmake
set(field "[^;]*;")
set(eleven "${field}${field}${field}${field}${field}${field}${field}${field}${field}${field}${field}")
file(STRINGS "${UNICODE_DATA}" lines REGEX "^[0-9A-F]+;${eleven}[0-9A-F]+;")
set(table "// Generated from ${UNICODE_DATA} by cmake/SimpleUpperCase.cmake; not edited by hand.\n")
set(count 0)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^([0-9A-F]+);${eleven}([0-9A-F]+);.*$" "{0x\\1, 0x\\2}," pair "${line}")
  string(APPEND table "${pair}\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count LESS 1000)
  message(FATAL_ERROR "${UNICODE_DATA}: only ${count} upper-case mappings; is it the character database's UnicodeData.txt?")
endif()
file(WRITE "${OUTPUT}.tmp" "${table}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
