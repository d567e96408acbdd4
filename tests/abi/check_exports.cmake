# Compares the dynamic symbols that libtlxdev exports with the committed
# list. Run as
#   cmake -DNM=<nm> -DLIBRARY=<libtlxdev.so.N> -DEXPORTS=<list> [-DUPDATE=ON] -P check_exports.cmake
# Each line of the list is "function NAME" or "object NAME SIZE" (an
# object's size is part of the interface: a program that copies it relies
# on it). A symbol that disappears or changes breaks programs built against
# the library and needs a new soname; a new one is compatible but must be
# added to the list too, so that no change of the interface goes unseen.
#   [-DREADELF=<readelf> -DSONAME=<expected soname>]
foreach(v NM LIBRARY EXPORTS)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "check_exports: ${v} is not set")
  endif()
endforeach()

execute_process(COMMAND ${NM} -D --defined-only -S ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "check_exports: ${NM} failed on ${LIBRARY}: ${err}")
endif()

# nm -S prints "VALUE SIZE TYPE NAME" (SIZE is missing for some symbols).
string(REPLACE "\n" ";" lines "${out}")
set(actual)
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]+ ([0-9a-fA-F]+) ([A-Za-z]) (.+)$")
    set(size ${CMAKE_MATCH_1})
    set(type ${CMAKE_MATCH_2})
    set(name ${CMAKE_MATCH_3})
  elseif(line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) (.+)$")
    set(size 0)
    set(type ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
  else()
    continue()
  endif()
  if(name MATCHES "^__(odr_asan|asan|tsan|ubsan|sancov)")
    continue()  # added by a sanitizer build, not part of the interface
  endif()
  if(type MATCHES "^[TtWwi]$")
    list(APPEND actual "function ${name}")
  elseif(type MATCHES "^[A]$")
    continue()  # version node names, not symbols
  else()
    string(REGEX REPLACE "^0+([0-9a-fA-F])" "\\1" size "${size}")
    list(APPEND actual "object ${name} 0x${size}")
  endif()
endforeach()
list(SORT actual)

if(READELF AND SONAME)
  execute_process(COMMAND ${READELF} -d ${LIBRARY} OUTPUT_VARIABLE dyn RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT dyn MATCHES "\\(SONAME\\)[^\n]*\\[([^]\n]*)\\]")
    message(FATAL_ERROR "check_exports: no SONAME in ${LIBRARY}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL SONAME)
    message(FATAL_ERROR "check_exports: SONAME is ${CMAKE_MATCH_1}, expected ${SONAME}")
  endif()
endif()

if(UPDATE)
  list(JOIN actual "\n" text)
  file(WRITE ${EXPORTS}
    "# Exports of libtlxdev.so.1, checked by the test abi_exports. Removing or\n"
    "# changing one needs a new soname; see tests/abi/check_exports.cmake.\n"
    "${text}\n")
  list(LENGTH actual n)
  message(STATUS "check_exports: wrote ${n} symbols to ${EXPORTS}")
  return()
endif()

file(STRINGS ${EXPORTS} expected)
list(FILTER expected EXCLUDE REGEX "^#|^$")
list(SORT expected)

set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(added ${actual})
list(REMOVE_ITEM added ${expected})

if(missing OR added)
  set(msg "libtlxdev's exports differ from ${EXPORTS}:\n")
  foreach(s IN LISTS missing)
    string(APPEND msg "  removed or changed: ${s}\n")
  endforeach()
  foreach(s IN LISTS added)
    string(APPEND msg "  new: ${s}\n")
  endforeach()
  if(missing)
    string(APPEND msg "Programs built against libtlxdev.so.1 rely on what was removed or "
      "changed: keep it, or raise the soname (the project's major version).\n")
  endif()
  string(APPEND msg "After a deliberate change, update the list with "
    "cmake -DNM=${NM} -DLIBRARY=${LIBRARY} -DEXPORTS=${EXPORTS} -DUPDATE=ON -P ${CMAKE_CURRENT_LIST_FILE}")
  message(FATAL_ERROR "${msg}")
endif()
list(LENGTH actual n)
message(STATUS "check_exports: the ${n} exports match ${EXPORTS}")
