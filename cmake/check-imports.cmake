# Fails when a Windows binary imports a DLL of the compiler's runtime
# (libstdc++, libgcc, libwinpthread and the like), which the machines the
# program ships to do not have: everything of the compiler's is linked in.
#
#   cmake -DOBJDUMP=... -P check-imports.cmake FILE...

set(runtime "^(libstdc\\+\\+|libgcc|libwinpthread|libssp|libatomic|libgomp|libquadmath)")
include(${CMAKE_CURRENT_LIST_DIR}/script-arguments.cmake)
quarnel_script_arguments(files -P)
if(NOT files)
  message(FATAL_ERROR "no file to check")
endif()

foreach(file IN LISTS files)
  execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  # Every program imports at least the system's KERNEL32.dll: none found
  # means the dump was not read.
  if(NOT imports)
    message(FATAL_ERROR "${file}: no imported DLL found in the dump")
  endif()
  set(names "")
  foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" name "${import}")
    string(TOLOWER "${name}" lower)
    if(lower MATCHES "${runtime}")
      message(FATAL_ERROR "${file} imports the compiler's runtime DLL ${name}")
    endif()
    list(APPEND names "${name}")
  endforeach()
  list(JOIN names ", " names)
  get_filename_component(shown "${file}" NAME)
  message(STATUS "${shown} imports ${names}")
endforeach()
