# Fails when the shipped Windows files would not fit a bank's machines, as
# read from the files themselves (the program first), without running them:
# - each is built for the machine FORMAT names (objdump's pei-i386 or
#   pei-x86-64) and carries the project's VERSION;
# - the program's manifest requests no execution level, so that it runs as
#   the host product does, with the same view of the folder, and keeps the
#   rest (Common Controls 6, DPI awareness, long paths, the systems);
# - no file name, version text or manifest holds a word that makes Windows
#   take a 32-bit program for an installer;
# - each file names its maker and copyright;
# - the program has its message table and is terminal-server aware.
#
#   cmake -DWINDRES=... -DOBJDUMP=... -DFORMAT=pei-i386 -DVERSION=1.0.0
#         -P check-shipped.cmake PROGRAM FILE...

include(${CMAKE_CURRENT_LIST_DIR}/script-arguments.cmake)
quarnel_script_arguments(files -P)
if(NOT files)
  message(FATAL_ERROR "no file to check")
endif()
list(GET files 0 program)

function(fail file text)
  get_filename_component(shown "${file}" NAME)
  message(FATAL_ERROR "${shown}: ${text}")
endfunction()

foreach(file IN LISTS files)
  execute_process(COMMAND "${OBJDUMP}" -f "${file}" OUTPUT_VARIABLE header RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT header MATCHES "file format ([^\r\n]+)")
    fail("${file}" "${OBJDUMP} -f could not read it")
  elseif(NOT CMAKE_MATCH_1 STREQUAL FORMAT)
    fail("${file}" "is ${CMAKE_MATCH_1}, not ${FORMAT}")
  endif()
  # Every resource as a resource script: the version texts, the manifest
  # as quoted lines, the message table's texts.
  execute_process(COMMAND "${WINDRES}" -i "${file}" -O rc OUTPUT_VARIABLE resources
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT resources MATCHES "VALUE \"FileVersion\"")
    fail("${file}" "no version resource could be read")
  elseif(NOT resources MATCHES "VALUE \"FileVersion\", \"${VERSION}\"")
    fail("${file}" "does not carry version ${VERSION}")
  endif()
  get_filename_component(name "${file}" NAME)
  string(TOLOWER "${name}\n${resources}" lower)
  if(lower MATCHES "(install|setup|update|patch)")
    fail("${file}" "holds the word \"${CMAKE_MATCH_1}\", by which Windows takes it for an installer")
  endif()
  foreach(value CompanyName LegalCopyright)
    if(NOT resources MATCHES "VALUE \"${value}\", \"[^\"]")
      fail("${file}" "its version resource has no ${value}")
    endif()
  endforeach()
  if(NOT file STREQUAL program)
    continue()
  endif()
  foreach(part "Microsoft.Windows.Common-Controls" "PerMonitorV2" "<longPathAware"
               "<supportedOS" "MESSAGETABLE")
    if(NOT resources MATCHES "${part}")
      fail("${file}" "has no ${part} in its resources")
    endif()
  endforeach()
  if(resources MATCHES "(trustInfo|requestedExecutionLevel)")
    fail("${file}" "its manifest has ${CMAKE_MATCH_1}: it would not see the folder as the host product does")
  endif()
  execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE headers)
  if(NOT headers MATCHES "TERMINAL_SERVICE_AWARE")
    fail("${file}" "is not linked terminal-server aware")
  endif()
endforeach()
message(STATUS "checked ${files}")
