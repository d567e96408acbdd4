# Fails when libtlxdev needs a newer C or C++ run-time than the oldest one
# we support on branch desktops: glibc 2.28 and the libstdc++ of GCC 8
# (GLIBCXX_3.4.25, CXXABI_1.3.11). Reads the library's version needs, so
# it works for every architecture the build makes. Run as
#   cmake -DREADELF=<readelf> -DLIBRARY=<libtlxdev.so.N> -P check_symbol_versions.cmake
foreach(v READELF LIBRARY)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "check_symbol_versions: ${v} is not set")
  endif()
endforeach()

execute_process(COMMAND ${READELF} --version-info --wide ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "check_symbol_versions: ${READELF} failed on ${LIBRARY}: ${err}")
endif()

# Only the version needs section names what the library requires of others;
# the definitions section lists the library's own version node.
string(FIND "${out}" ".gnu.version_r" start)
if(start EQUAL -1)
  message(FATAL_ERROR "check_symbol_versions: ${LIBRARY} has no version needs")
endif()
string(SUBSTRING "${out}" ${start} -1 needs)

set(ceiling_GLIBC 2.28)
set(ceiling_GLIBCXX 3.4.25)
set(ceiling_CXXABI 1.3.11)
set(highest_GLIBC 0)
set(highest_GLIBCXX 0)
set(highest_CXXABI 0)
set(bad)
string(REGEX MATCHALL "Name: (GLIBC|GLIBCXX|CXXABI)_[0-9.]+" names "${needs}")
foreach(n IN LISTS names)
  string(REGEX MATCH "(GLIBC|GLIBCXX|CXXABI)_([0-9.]+)" _ "${n}")
  set(family ${CMAKE_MATCH_1})
  set(version ${CMAKE_MATCH_2})
  if(version VERSION_GREATER highest_${family})
    set(highest_${family} ${version})
  endif()
  if(version VERSION_GREATER ceiling_${family})
    list(APPEND bad "${family}_${version}")
  endif()
endforeach()

if(highest_GLIBC VERSION_EQUAL 0)
  message(FATAL_ERROR "check_symbol_versions: no GLIBC version need found in ${LIBRARY}")
endif()
message(STATUS "highest needs: GLIBC_${highest_GLIBC} GLIBCXX_${highest_GLIBCXX} CXXABI_${highest_CXXABI}")
if(bad)
  list(REMOVE_DUPLICATES bad)
  message(FATAL_ERROR "check_symbol_versions: ${LIBRARY} needs ${bad}, above "
    "GLIBC_${ceiling_GLIBC} / GLIBCXX_${ceiling_GLIBCXX} / CXXABI_${ceiling_CXXABI}")
endif()
