# Run by `cmake --install`: writes a file that names the program straight to its place under the
# prefix being installed, so its Exec= holds the installed binary's full path however the prefix
# was given (cmake --install --prefix may differ from the configured one). DESTDIR is honoured,
# the file goes into the install manifest like any other, and the build folder is left alone.
#
#   brimfold_install_template(TEMPLATE DESTINATION FORMAT)
#     TEMPLATE     the source file; @BRIMFOLD_EXEC@ in it becomes the program
#     DESTINATION  folder and name, under the prefix unless absolute
#     FORMAT       desktop (a desktop entry) or dbus (a bus service file)
function(brimfold_install_template template destination format)
  # src/CMakeLists.txt installs the program into bin.
  set(exec "${CMAKE_INSTALL_PREFIX}/bin/brimfold")
  # Both formats split Exec= as a shell does: a path with anything but these characters is
  # quoted, with \ " ` and $ escaped inside the quotes.
  if(NOT exec MATCHES "^[A-Za-z0-9_./+,:@=-]+$")
    string(REPLACE "\\" "\\\\" exec "${exec}")
    string(REPLACE "\"" "\\\"" exec "${exec}")
    string(REPLACE "`" "\\`" exec "${exec}")
    string(REPLACE "$" "\\$" exec "${exec}")
    set(exec "\"${exec}\"")
    if(format STREQUAL "desktop")
      # A desktop entry unescapes its strings before it splits Exec=, and % starts a field code.
      string(REPLACE "\\" "\\\\" exec "${exec}")
      string(REPLACE "%" "%%" exec "${exec}")
    endif()
  endif()
  set(BRIMFOLD_EXEC "${exec}")
  file(READ "${template}" content)
  string(CONFIGURE "${content}" content @ONLY)

  if(IS_ABSOLUTE "${destination}")
    set(installed "${destination}")
  else()
    set(installed "${CMAKE_INSTALL_PREFIX}/${destination}")
  endif()
  set(file "$ENV{DESTDIR}${installed}")
  message(STATUS "Installing: ${file}")
  get_filename_component(folder "${file}" DIRECTORY)
  file(MAKE_DIRECTORY "${folder}")
  file(WRITE "${file}" "${content}")
  # As file(INSTALL) leaves it, whatever the umask: the desktop and the bus read it as any user.
  file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  # The manifest holds the installed paths, without DESTDIR, as file(INSTALL) records them.
  set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} "${installed}" PARENT_SCOPE)
endfunction()
