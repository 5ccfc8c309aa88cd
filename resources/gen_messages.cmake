# Turns the message list into the two forms the build needs:
#   OUT_DIR/messages.rc          STRINGTABLE for the Windows resource compiler
#   OUT_DIR/messages_table.inc   C++ initialiser lines {number, "text"},
# Run as: cmake -DINPUT=messages.txt -DOUT_DIR=<dir> -P gen_messages.cmake
#
# Input: one message a line, "NUMBER<TAB>NAME<TAB>TEXT" or "NUMBER<TAB>TEXT",
# numbers strictly ascending. NAME (k followed by a capital, e.g. kFileNotFound)
# is what code calls the number: tools/gen_errors.py turns the names into
# engine/error_numbers.h; here it is dropped. Empty lines and lines starting
# with "#" are skipped. Texts are kept as they are ("~" and "|" are expanded
# when a message is loaded, not here).

cmake_minimum_required(VERSION 3.20)

if(NOT INPUT OR NOT OUT_DIR)
  message(FATAL_ERROR "gen_messages: INPUT and OUT_DIR must be set")
endif()

file(READ "${INPUT}" content)

# CMake lists split on ";" and treat "[", "]" and "\" specially, so those
# characters travel through the loop as control bytes and come back per line.
string(ASCII 1 semi_mark)
string(ASCII 2 open_mark)
string(ASCII 3 close_mark)
string(ASCII 4 slash_mark)
string(REPLACE "\r" "" content "${content}")
string(REPLACE "\\" "${slash_mark}" content "${content}")
string(REPLACE ";" "${semi_mark}" content "${content}")
string(REPLACE "[" "${open_mark}" content "${content}")
string(REPLACE "]" "${close_mark}" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

set(rc_body "")
set(inc_body "")
set(previous -1)
set(count 0)
set(line_no 0)
foreach(line IN LISTS lines)
  math(EXPR line_no "${line_no} + 1")
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  if(line MATCHES "^([0-9]+)\tk[A-Z][A-Za-z0-9_]*\t(.*)$")
  elseif(NOT line MATCHES "^([0-9]+)\t(.*)$")
    message(FATAL_ERROR "gen_messages: ${INPUT}:${line_no}: expected NUMBER<TAB>[NAME<TAB>]TEXT")
  endif()
  set(number "${CMAKE_MATCH_1}")
  set(text "${CMAKE_MATCH_2}")
  math(EXPR number "${number}")  # drops leading zeros
  # String-table ids are 16-bit.
  if(number GREATER 65535)
    message(FATAL_ERROR "gen_messages: ${INPUT}:${line_no}: number ${number} above 65535")
  endif()
  if(NOT number GREATER previous)
    message(FATAL_ERROR "gen_messages: ${INPUT}:${line_no}: number ${number} not above ${previous} (list must be sorted, numbers unique)")
  endif()
  set(previous ${number})
  math(EXPR count "${count} + 1")

  string(REPLACE "${open_mark}" "[" text "${text}")
  string(REPLACE "${close_mark}" "]" text "${text}")

  # Resource compiler: a quote is doubled, a backslash doubled; its C
  # preprocessor would warn about "??" trigraphs, so the second "?" is octal.
  string(REPLACE "${slash_mark}" "\\\\" rc_text "${text}")
  string(REPLACE "\"" "\"\"" rc_text "${rc_text}")
  string(REPLACE "??" "?\\077" rc_text "${rc_text}")
  string(REPLACE "??" "?\\077" rc_text "${rc_text}")
  # C++: backslash and quote escaped; "??" split so it can never read as a trigraph.
  string(REPLACE "${slash_mark}" "\\\\" c_text "${text}")
  string(REPLACE "\"" "\\\"" c_text "${c_text}")
  string(REPLACE "??" "?\\?" c_text "${c_text}")
  string(REPLACE "??" "?\\?" c_text "${c_text}")

  string(APPEND rc_body "  ${number}, \"${rc_text}\"\n")
  string(APPEND inc_body "{${number}, \"${c_text}\"},\n")
endforeach()

string(REPLACE "${semi_mark}" ";" rc_body "${rc_body}")
string(REPLACE "${semi_mark}" ";" inc_body "${inc_body}")

if(count EQUAL 0)
  message(FATAL_ERROR "gen_messages: ${INPUT} holds no message")
endif()

set(rc_text "// Generated from messages.txt; do not edit.\n#pragma code_page(65001)\n\nSTRINGTABLE\nBEGIN\n${rc_body}END\n")
set(inc_text "// Generated from messages.txt; do not edit. ${count} entries, sorted.\n${inc_body}")

file(WRITE "${OUT_DIR}/messages.rc" "${rc_text}")
file(WRITE "${OUT_DIR}/messages_table.inc" "${inc_text}")
