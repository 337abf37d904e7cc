# The Windows binaries' resources, made from project(... VERSION ...), the
# one place the version is set.

# What the files' Properties show as their maker. Nothing here or in any
# other text of the files may hold "install", "setup", "update" or "patch":
# Windows takes a 32-bit program with such a word for an installer and asks
# for an administrator, which a bank's usual policy then denies.
set(QUARNEL_COMPANY_NAME "The Quarnel authors" CACHE STRING
    "CompanyName of the Windows files")
set(QUARNEL_LEGAL_COPYRIGHT "Copyright (C) 2026 The Quarnel authors" CACHE STRING
    "LegalCopyright of the Windows files")

# The four numbers of a Windows version ("1,0,0,0").
set(QUARNEL_RC_VERSION_NUMBERS "")
foreach(part MAJOR MINOR PATCH TWEAK)
  set(number "${PROJECT_VERSION_${part}}")
  if(number STREQUAL "")
    set(number 0)
  endif()
  list(APPEND QUARNEL_RC_VERSION_NUMBERS ${number})
endforeach()
list(JOIN QUARNEL_RC_VERSION_NUMBERS "," QUARNEL_RC_VERSION_NUMBERS)
string(REPLACE "," "." QUARNEL_RC_VERSION_DOTTED "${QUARNEL_RC_VERSION_NUMBERS}")

# The message table of the program's event log entries: each error number
# of platform/run_error.h has the text "%1", the entry's own text, so that
# Event Viewer shows an entry as it was written. The .mc file is written
# from the header's numbers and windmc makes the table; sets `out_var` to
# the table's line of the resource script.
function(quarnel_message_table out_var)
  set(header "${PROJECT_SOURCE_DIR}/platform/run_error.h")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${header}")
  file(STRINGS "${header}" lines REGEX "^ *kErr[A-Za-z]+ = [0-9]+,")
  if(NOT lines)
    message(FATAL_ERROR "no error number found in ${header}")
  endif()
  # English: the language that every system's message search tries last.
  set(mc "LanguageNames=(English=0x409:MSG00409)\n")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "= ([0-9]+)," ignored "${line}")
    # "%0" ends the text without a line break of its own.
    string(APPEND mc "\nMessageId=${CMAKE_MATCH_1}\nLanguage=English\n%1%0\n.\n")
  endforeach()
  set(dir "${CMAKE_CURRENT_BINARY_DIR}/messages")
  file(CONFIGURE OUTPUT "${dir}/quarnel.mc" CONTENT "${mc}")
  add_custom_command(OUTPUT "${dir}/MSG00409.bin"
      COMMAND ${CMAKE_MC_COMPILER} -r "${dir}" -h "${dir}" "${dir}/quarnel.mc"
      DEPENDS "${dir}/quarnel.mc" VERBATIM)
  set(${out_var} "LANGUAGE 9, 1\n1 MESSAGETABLE \"${dir}/MSG00409.bin\"" PARENT_SCOPE)
endfunction()

# Gives `target` (file name `file_name`, type VFT_APP or VFT_DLL) a version
# resource with `description`. MANIFEST names a manifest template to embed as
# the program's application manifest; MESSAGES adds the message table.
function(quarnel_windows_resource target file_name file_type description)
  cmake_parse_arguments(PARSE_ARGV 4 ARG "MESSAGES" "MANIFEST" "")
  set(QUARNEL_RC_FILE_NAME "${file_name}")
  set(QUARNEL_RC_FILE_TYPE "${file_type}")
  set(QUARNEL_RC_DESCRIPTION "${description}")
  # A 64-bit build is never shipped; its files say so in their Properties.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    string(APPEND QUARNEL_RC_DESCRIPTION " (64-bit build check, not to be shipped)")
  endif()
  get_filename_component(QUARNEL_RC_INTERNAL_NAME "${file_name}" NAME_WE)
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  set(depends "")
  set(QUARNEL_RC_MANIFEST "")
  if(ARG_MANIFEST)
    set(manifest "${CMAKE_CURRENT_BINARY_DIR}/${file_name}.manifest")
    configure_file("${ARG_MANIFEST}" "${manifest}" @ONLY)
    # 1 is the application manifest's resource id, 24 its type (RT_MANIFEST).
    set(QUARNEL_RC_MANIFEST "1 24 \"${manifest}\"")
    list(APPEND depends "${manifest}")
  endif()
  set(QUARNEL_RC_MESSAGES "")
  if(ARG_MESSAGES)
    quarnel_message_table(QUARNEL_RC_MESSAGES)
    list(APPEND depends "${CMAKE_CURRENT_BINARY_DIR}/messages/MSG00409.bin")
  endif()
  configure_file("${PROJECT_SOURCE_DIR}/cmake/version.rc.in" "${rc}" @ONLY)
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${depends}")
  target_sources(${target} PRIVATE "${rc}")
endfunction()
