# Makes a delay-import library for one system DLL: its functions are bound the
# first time the library calls one of them, so the process does not load the
# DLL (and whatever that DLL loads and initialises) at start.
#   cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIB=libuser32.a -DDLL=user32.dll -DOUT=libuser32_delay.a -P delay_import.cmake
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "delay_import: cannot list ${IMPORT_LIB}")
endif()
# Import entries read "00000000 I __imp__Name@N" (stdcall) or "__imp__Name" (cdecl).
string(REGEX MATCHALL "I __imp__[^\r\n]+" entries "${symbols}")
set(names)
foreach(entry IN LISTS entries)
  string(SUBSTRING "${entry}" 9 -1 name)
  list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "delay_import: no functions in ${IMPORT_LIB}")
endif()
list(JOIN names "\n" body)
file(WRITE ${OUT}.def "LIBRARY ${DLL}\nEXPORTS\n${body}\n")
# --kill-at: the DLL exports the plain names, the callers use the decorated ones.
execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${OUT}.def --output-delaylib ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "delay_import: dlltool failed for ${DLL}")
endif()
