# The export list of the IP-helper stand-in, made from the DLL that Wine
# itself uses: the functions the stand-in implements are its own, every
# other name Wine's iphlpapi.dll exports is forwarded to a copy of that DLL
# under another name, so that what Wine's other DLLs and the programs import
# keeps its real implementation.
#   cmake -DOBJDUMP=... -DWINE_DLL=... -DFORWARD_TO=wineiphl -DOWN=A,B -DDEF=out.def -P forwarders.cmake
# With -DCHECK=stand-in.dll instead of -DDEF it checks that the stand-in
# exports every name of Wine's DLL and its own, and fails if not.

cmake_minimum_required(VERSION 3.25)

function(export_names dll result)
  execute_process(COMMAND ${OBJDUMP} -p ${dll} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read ${dll}")
  endif()
  string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${dll} exports nothing")
  endif()
  string(SUBSTRING "${dump}" ${at} -1 dump)
  string(FIND "${dump}" "\n\n" end)
  string(SUBSTRING "${dump}" 0 ${end} dump)
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${dump}")
  set(names)
  foreach(row IN LISTS rows)
    string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${row}")
    list(APPEND names "${name}")
  endforeach()
  set(${result} ${names} PARENT_SCOPE)
endfunction()

string(REPLACE "," ";" own "${OWN}")
export_names(${WINE_DLL} wine_names)
list(LENGTH wine_names count)
if(count LESS 100)
  message(FATAL_ERROR "only ${count} exports found in ${WINE_DLL}")
endif()

if(DEFINED CHECK)
  export_names(${CHECK} stand_in_names)
  set(missing)
  foreach(name IN LISTS wine_names own)
    if(NOT name IN_LIST stand_in_names)
      list(APPEND missing ${name})
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "${CHECK} does not export: ${missing}")
  endif()
  return()
endif()

set(text "LIBRARY iphlpapi.dll\nEXPORTS\n")
foreach(name IN LISTS wine_names)
  if(name IN_LIST own)
    string(APPEND text "  ${name}\n")
  else()
    string(APPEND text "  ${name} = ${FORWARD_TO}.${name}\n")
  endif()
endforeach()
foreach(name IN LISTS own)
  if(NOT name IN_LIST wine_names)
    string(APPEND text "  ${name}\n")
  endif()
endforeach()
file(WRITE ${DEF} "${text}")
