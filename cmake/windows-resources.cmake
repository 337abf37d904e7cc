# The Windows binaries' resources, made from project(... VERSION ...), the
# one place the version is set.

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

# Gives `target` (file name `file_name`, type VFT_APP or VFT_DLL) a version
# resource with `description`. MANIFEST names a manifest template to embed as
# the program's application manifest.
function(quarnel_windows_resource target file_name file_type description)
  cmake_parse_arguments(PARSE_ARGV 4 ARG "" "MANIFEST" "")
  set(QUARNEL_RC_FILE_NAME "${file_name}")
  set(QUARNEL_RC_FILE_TYPE "${file_type}")
  set(QUARNEL_RC_DESCRIPTION "${description}")
  get_filename_component(QUARNEL_RC_INTERNAL_NAME "${file_name}" NAME_WE)
  set(QUARNEL_RC_MANIFEST "")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  if(ARG_MANIFEST)
    set(manifest "${CMAKE_CURRENT_BINARY_DIR}/${file_name}.manifest")
    configure_file("${ARG_MANIFEST}" "${manifest}" @ONLY)
    # 1 is the application manifest's resource id, 24 its type (RT_MANIFEST).
    set(QUARNEL_RC_MANIFEST "1 24 \"${manifest}\"")
    set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${manifest}")
  endif()
  configure_file("${PROJECT_SOURCE_DIR}/cmake/version.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
