# Checks gen_messages.cmake on texts with the characters that need escaping
# (the real table has few of them), and that a bad list is refused.
# Run as: cmake -DOUT_DIR=<scratch dir> [-DWINDRES=<windres>] -P check_gen_messages.cmake
# With WINDRES set, the generated .rc must also compile.

cmake_minimum_required(VERSION 3.20)
if(NOT OUT_DIR)
  message(FATAL_ERROR "check_gen_messages: OUT_DIR must be set")
endif()
set(gen "${CMAKE_CURRENT_LIST_DIR}/gen_messages.cmake")
file(MAKE_DIRECTORY "${OUT_DIR}")

function(run_gen input result_var)
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DINPUT=${input}" "-DOUT_DIR=${OUT_DIR}" -P "${gen}"
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  set(${result_var} ${rc} PARENT_SCOPE)
endfunction()

function(expect_line file line)
  file(READ "${OUT_DIR}/${file}" text)
  string(FIND "${text}" "${line}\n" at)
  if(at EQUAL -1)
    message(SEND_ERROR "check_gen_messages: ${file} lacks the line: ${line}")
  endif()
endfunction()

# Characters CMake itself treats specially are built with string(ASCII) so
# that this file stays readable.
string(ASCII 59 semi)
string(ASCII 92 bs)
set(good "${OUT_DIR}/good.txt")
file(WRITE "${good}"
  "# comment line\n"
  "\n"
  "7\tkSayHi\tsay \"hi\"\n"
  "8\tpath C:${bs}dir${bs}${bs}x\n"
  "9\tlist a${semi} b [c${semi} d] ]e[\n"
  "10\t50% done??) ???\n"
  "65535\tlast~line|tab\r\n")
run_gen("${good}" rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "check_gen_messages: generator failed on a valid list")
endif()

expect_line(messages_table.inc "{7, \"say ${bs}\"hi${bs}\"\"},")
expect_line(messages_table.inc "{8, \"path C:${bs}${bs}dir${bs}${bs}${bs}${bs}x\"},")
expect_line(messages_table.inc "{9, \"list a${semi} b [c${semi} d] ]e[\"},")
expect_line(messages_table.inc "{10, \"50% done?${bs}?) ?${bs}?${bs}?\"},")
expect_line(messages_table.inc "{65535, \"last~line|tab\"},")
expect_line(messages.rc "  7, \"say \"\"hi\"\"\"")
expect_line(messages.rc "  8, \"path C:${bs}${bs}dir${bs}${bs}${bs}${bs}x\"")
expect_line(messages.rc "  9, \"list a${semi} b [c${semi} d] ]e[\"")
expect_line(messages.rc "  10, \"50% done?${bs}077) ?${bs}077?\"")
file(STRINGS "${OUT_DIR}/messages_table.inc" entries REGEX "^{")
list(LENGTH entries count)
if(NOT count EQUAL 5)
  message(SEND_ERROR "check_gen_messages: expected 5 entries, got ${count}")
endif()

if(WINDRES)
  execute_process(COMMAND "${WINDRES}" -i "${OUT_DIR}/messages.rc" -o "${OUT_DIR}/messages.res" -O res
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
    message(SEND_ERROR "check_gen_messages: windres refused or warned: ${err}")
  endif()
endif()

foreach(bad_case "5\ta\n5\tb\n" "6\ta\n5\tb\n" "70000\ttoo big\n" "12 no tab\n" "")
  set(bad "${OUT_DIR}/bad.txt")
  file(WRITE "${bad}" "${bad_case}")
  run_gen("${bad}" rc)
  if(rc EQUAL 0)
    message(SEND_ERROR "check_gen_messages: generator accepted a bad list: [${bad_case}]")
  endif()
endforeach()
