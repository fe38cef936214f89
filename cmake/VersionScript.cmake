# Linker version scripts: the listed names stay global, everything else
# becomes local.

# Reads an export list (one name a line; blank lines and # comments skipped)
# and re-runs the configure step when it changes.
function(morvanex_read_export_list out_var list_file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(STRINGS ${list_file} lines)
  set(names "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" name)
    if(name STREQUAL "" OR name MATCHES "^#")
      continue()
    endif()
    list(APPEND names ${name})
  endforeach()
  set(${out_var} ${names} PARENT_SCOPE)
endfunction()

# Writes a version script exporting exactly `names`.
function(morvanex_write_version_script path names)
  set(text "{\n")
  if(names)
    string(APPEND text "  global:\n")
    foreach(n IN LISTS names)
      string(APPEND text "    ${n};\n")
    endforeach()
  endif()
  string(APPEND text "  local: *;\n};\n")
  file(WRITE ${path} "${text}")
endfunction()

# Links a module with a version script: relinks when the script changes.
function(morvanex_use_version_script target map)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
endfunction()
