# Run by `cmake --install`: writes the units and the polkit policy with the
# prefix given at install time, so they name the programs where they land.
# Expects HELPER_SOURCE_DIR, HELPER_STAGING_DIR, HELPER_PROGRAM_DIR and
# HELPER_FALLBACK_PROGRAM (the last two relative to the prefix), and
# HELPER_POLICY_DIR, polkit's own folder (absolute: outside the prefix, yet
# under DESTDIR as every destination).
set(QUILLMARK_HELPER_PROGRAM ${CMAKE_INSTALL_PREFIX}/${HELPER_PROGRAM_DIR}/QuillmarkHelper)
set(QUILLMARK_HELPER_FALLBACK_PROGRAM ${CMAKE_INSTALL_PREFIX}/${HELPER_FALLBACK_PROGRAM})
foreach(pair "quillmark-helper.socket|lib/systemd/system"
             "quillmark-helper@.service|lib/systemd/system"
             "com.vorlanworks.quillmark.helper.policy|${HELPER_POLICY_DIR}")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 destination)
  if(NOT IS_ABSOLUTE ${destination})
    set(destination ${CMAKE_INSTALL_PREFIX}/${destination})
  endif()
  configure_file(${HELPER_SOURCE_DIR}/${name}.in ${HELPER_STAGING_DIR}/${name} @ONLY)
  file(INSTALL ${HELPER_STAGING_DIR}/${name} DESTINATION ${destination})
endforeach()
