# Checks what can be read from a Windows binary without running it: that it
# is built for the expected machine, carries the project's version in its
# version resource and, for quarnel.exe, an application manifest.
#
#   cmake -DOBJDUMP=... -DWINDRES=... -DFORMAT=pei-i386 -DVERSION=1.0.0
#         -P check-shipped.cmake FILE...

set(files "")
set(after_script OFF)
foreach(i RANGE 1 ${CMAKE_ARGC})
  if(after_script AND DEFINED CMAKE_ARGV${i})
    list(APPEND files "${CMAKE_ARGV${i}}")
  elseif("${CMAKE_ARGV${i}}" STREQUAL "${CMAKE_SCRIPT_MODE_FILE}")
    set(after_script ON)
  endif()
endforeach()
if(NOT files)
  message(FATAL_ERROR "no file to check")
endif()

foreach(file IN LISTS files)
  get_filename_component(shown "${file}" NAME)
  execute_process(COMMAND "${OBJDUMP}" -f "${file}" OUTPUT_VARIABLE header RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT header MATCHES "file format ([^\r\n]+)")
    message(FATAL_ERROR "${OBJDUMP} -f ${file} failed")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL FORMAT)
    message(FATAL_ERROR "${shown} is ${CMAKE_MATCH_1}, not ${FORMAT}")
  endif()
  execute_process(COMMAND "${WINDRES}" -i "${file}" -O rc OUTPUT_VARIABLE resources
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${WINDRES} could not read the resources of ${file}")
  endif()
  if(NOT resources MATCHES "VALUE \"FileVersion\", \"${VERSION}\"")
    message(FATAL_ERROR "${shown} does not carry version ${VERSION}")
  endif()
  if(shown STREQUAL "quarnel.exe" AND NOT resources MATCHES "RT_MANIFEST")
    message(FATAL_ERROR "${shown} has no application manifest")
  endif()
  message(STATUS "${shown}: ${FORMAT}, version ${VERSION}")
endforeach()
