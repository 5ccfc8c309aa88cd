# orv_generate_messages(OUT_DIR)
#
# Generates the message table from resources/messages.txt at build time
# (cmake -P, no other tool needed). Outputs, in OUT_DIR:
#   messages.rc          STRINGTABLE resource; add it to the sources of every
#                        Windows binary that runs engine code (the DLL, and the
#                        unit-test executables of the cross build), because
#                        the Windows build reads texts from its own module.
#   messages_table.inc   sorted C++ initialiser lines {number, "text"},
#                        included by engine/messages.cpp in BOTH builds (the
#                        Windows build keeps it for message_table()).
# Defines in the caller's scope:
#   ORV_MESSAGES_RC           full path of messages.rc
#   ORV_MESSAGES_INC          full path of messages_table.inc
#   ORV_MESSAGES_INCLUDE_DIR  OUT_DIR (include directory for the .inc)
# Targets:
#   orv_messages_gen   custom target that runs the generator
#   orv_messages       INTERFACE library: link it to get the include directory
#                      and the build-order dependency on the generator.
# A target in another directory that lists messages.rc as a source needs
# policy CMP0118 NEW (cmake_minimum_required 3.20 or later) and a dependency
# on orv_messages_gen (linking orv_messages gives it).
#
# Usage (main CMakeLists, native and Windows alike):
#   include(resources/messages.cmake)
#   orv_generate_messages(${CMAKE_BINARY_DIR}/generated)
#   target_link_libraries(orv_engine PRIVATE orv_messages)
#   if(WIN32)
#     target_sources(orv PRIVATE ${ORV_MESSAGES_RC})   # enable_language(RC) first
#   endif()
# The generator itself is checked by check_gen_messages.cmake:
#   add_test(NAME gen_messages COMMAND ${CMAKE_COMMAND}
#            -DOUT_DIR=${CMAKE_BINARY_DIR}/gen_messages_check
#            -P ${CMAKE_SOURCE_DIR}/resources/check_gen_messages.cmake)

set(_ORV_MESSAGES_DIR "${CMAKE_CURRENT_LIST_DIR}")

function(orv_generate_messages OUT_DIR)
  # A relative folder is taken inside the current build folder.
  get_filename_component(OUT_DIR "${OUT_DIR}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(input "${_ORV_MESSAGES_DIR}/messages.txt")
  set(script "${_ORV_MESSAGES_DIR}/gen_messages.cmake")
  set(rc "${OUT_DIR}/messages.rc")
  set(inc "${OUT_DIR}/messages_table.inc")

  add_custom_command(
    OUTPUT "${rc}" "${inc}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${input}" "-DOUT_DIR=${OUT_DIR}" -P "${script}"
    DEPENDS "${input}" "${script}"
    COMMENT "Generating message table"
    VERBATIM)
  add_custom_target(orv_messages_gen DEPENDS "${rc}" "${inc}")

  add_library(orv_messages INTERFACE)
  target_include_directories(orv_messages INTERFACE "${OUT_DIR}")
  add_dependencies(orv_messages orv_messages_gen)

  set(ORV_MESSAGES_RC "${rc}" PARENT_SCOPE)
  set(ORV_MESSAGES_INC "${inc}" PARENT_SCOPE)
  set(ORV_MESSAGES_INCLUDE_DIR "${OUT_DIR}" PARENT_SCOPE)
endfunction()
