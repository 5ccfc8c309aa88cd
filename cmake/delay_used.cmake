# Lists the delay-imported functions that our own code calls, as a linker
# script of EXTERN lines. The linker keeps the code that binds a delay-loaded
# function only when the function's stub symbol is wanted, and calls through
# __imp_ pointers alone do not make it wanted; without this each first call
# would jump to address 0.
#   cmake -DNM=... -DLIBS="a.a;b.a" -DDEFS="x.def;y.def" -DOUT=used.ld -P delay_used.cmake
set(offered)
foreach(def IN LISTS DEFS)
  file(STRINGS ${def} lines)
  list(APPEND offered ${lines})
endforeach()
set(wanted)
foreach(lib IN LISTS LIBS)
  # A failed listing would leave functions out, and their first call would jump to 0.
  execute_process(COMMAND ${NM} ${lib} OUTPUT_VARIABLE symbols ERROR_QUIET RESULT_VARIABLE listed)
  if(NOT listed EQUAL 0)
    message(FATAL_ERROR "delay_used: ${NM} could not list ${lib}")
  endif()
  string(REGEX MATCHALL " U __imp__[^\r\n]+" refs "${symbols}")
  foreach(ref IN LISTS refs)
    string(SUBSTRING "${ref}" 10 -1 name)
    list(APPEND wanted "${name}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES wanted)
set(body "")
foreach(name IN LISTS wanted)
  list(FIND offered "${name}" at)
  if(NOT at EQUAL -1)
    string(APPEND body "EXTERN(\"_${name}\")\n")
  endif()
endforeach()
file(WRITE ${OUT}.new "${body}")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
