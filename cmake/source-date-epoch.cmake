# The time that the Windows files carry in their headers, and PELX.dll in
# its export table: the commit's, so that two builds of one commit are the
# same to the byte. The linker and strip both take it from SOURCE_DATE_EPOCH;
# a value already set is kept, and a tree outside git gets 0 (no time).
#
#   cmake -DQUARNEL_SOURCE_DIR=DIR -P source-date-epoch.cmake -- COMMAND...
#       runs COMMAND (the linker) with SOURCE_DATE_EPOCH set
#   include(source-date-epoch.cmake), QUARNEL_SOURCE_DIR set
#       sets it for the rest of the including script (the install, whose
#       strip would otherwise write the current time)

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C "${QUARNEL_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch 0)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()

if(DEFINED CMAKE_ARGC)
  include(${CMAKE_CURRENT_LIST_DIR}/script-arguments.cmake)
  quarnel_script_arguments(command --)
  if(command)
    execute_process(COMMAND ${command} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      list(GET command 0 program)
      message(FATAL_ERROR "${program} failed")
    endif()
  endif()
endif()
