# Run by CPack between staging the install and building the package (CPACK_PRE_BUILD_SCRIPTS):
# adds what Debian wants beside the installed files and settles what depends on who builds it.
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
set(doc "${stage}${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/${CPACK_PACKAGE_NAME}")

file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${CPACK_BRIMFOLD_COPYRIGHT}" "${doc}/copyright")
# A native package's changelog is changelog.gz, compressed as dpkg does (-9, no name or time).
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE "${doc}/changelog" "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

${CPACK_BRIMFOLD_CHANGES}
 -- ${CPACK_DEBIAN_PACKAGE_MAINTAINER}  ${date}
")
execute_process(COMMAND gzip -9nf "${doc}/changelog" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on the changelog")
endif()

# Binaries as Debian strips them: no symbols, no compiler notes. Permissions as file(INSTALL)
# gives them, whatever the umask: the folders the install created would follow it.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${stage}/*")
foreach(entry IN LISTS entries)
  if(IS_SYMLINK "${entry}")
    continue()
  elseif(IS_DIRECTORY "${entry}")
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
      WORLD_READ WORLD_EXECUTE)
    continue()
  endif()
  file(READ "${entry}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    set(how)
    if(entry MATCHES "\\.so(\\.[0-9.]+)?$")
      set(how --strip-unneeded)
    endif()
    execute_process(COMMAND "${CPACK_BRIMFOLD_STRIP}" ${how} --remove-section=.comment --remove-section=.note
      "${entry}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "strip failed on ${entry}")
    endif()
  endif()
  # Executable for everyone when its owner may run it, else readable by everyone.
  execute_process(COMMAND test -x "${entry}" RESULT_VARIABLE not_executable)
  if(not_executable)
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  else()
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
      WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
