# The Debian package: `cmake --build build --target package` writes
# build/brimfold_<version>_<arch>.deb. CPack stages it with `cmake --install` into /usr, so the
# package carries exactly what an install does, plus the copyright and changelog Debian wants.
#   brimfold_debian_package(APP_ID)   included from packaging/CMakeLists.txt

set(BrimfoldPackageMaintainer "Vellum <brimfold@vellum.app>" CACHE STRING
  "The Debian package's Maintainer field: name <address>")

# Words of text in lines of at most `width` characters (a longer word stands alone), the first
# starting with `first` and the others with `next`, each ending in a line break.
function(_brimfold_wrap text first next width out)
  set(result "")
  set(line "${first}")
  set(fresh TRUE)
  string(REPLACE " " ";" words "${text}")
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" length)
    if(fresh)
      string(APPEND line "${word}")
      set(fresh FALSE)
    elseif(length GREATER width)
      string(APPEND result "${line}\n")
      set(line "${next}${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  set(${out} "${result}${line}\n" PARENT_SCOPE)
endfunction()

# The package describes itself in the metainfo's words: its summary, then the description's
# paragraphs and list, wrapped as a control file wants them.
function(_brimfold_metainfo_description metainfo out_summary out_text)
  file(READ "${metainfo}" xml)
  string(REGEX MATCH "<summary>([^<]*)</summary>" _ "${xml}")
  set(summary "${CMAKE_MATCH_1}")
  # The application's description comes before any release's.
  string(FIND "${xml}" "<description>" begin)
  string(FIND "${xml}" "</description>" end)
  math(EXPR length "${end} - ${begin}")
  string(SUBSTRING "${xml}" ${begin} ${length} xml)
  string(REGEX MATCHALL "<(p|li)>[^<]*</(p|li)>" blocks "${xml}")
  set(text "")
  set(previous "")
  foreach(block IN LISTS blocks)
    string(REGEX MATCH "^<(p|li)>" _ "${block}")
    set(kind "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "^<[a-z]+>|</[a-z]+>$" "" block "${block}")
    string(REGEX REPLACE "[ \t\r\n]+" " " block "${block}")
    string(STRIP "${block}" block)
    string(REPLACE "&amp;" "&" block "${block}")
    # A blank line between paragraphs, and between a paragraph and a list.
    if(NOT previous STREQUAL "" AND NOT (kind STREQUAL "li" AND previous STREQUAL "li"))
      string(APPEND text "\n")
    endif()
    # Lines that start with a space are shown as they are: the list keeps its bullets.
    if(kind STREQUAL "li")
      set(first " * ")
      set(next "   ")
    else()
      set(first "")
      set(next "")
    endif()
    _brimfold_wrap("${block}" "${first}" "${next}" 72 wrapped)
    string(APPEND text "${wrapped}")
    set(previous "${kind}")
  endforeach()
  set(${out_summary} "${summary}" PARENT_SCOPE)
  set(${out_text} "${text}" PARENT_SCOPE)
endfunction()

function(brimfold_debian_package id)
  set(metainfo "${CMAKE_CURRENT_SOURCE_DIR}/${id}.metainfo.xml")
  _brimfold_metainfo_description("${metainfo}" summary description)
  file(READ "${metainfo}" xml)
  string(REGEX MATCH "<url type=\"homepage\">([^<]*)</url>" _ "${xml}")
  set(homepage "${CMAKE_MATCH_1}")
  # The changelog lists what the metainfo says the newest release brought.
  string(REGEX MATCH "<release [^>]*>.*</release>" release "${xml}")
  string(REGEX MATCHALL "<li>[^<]*</li>" changes "${release}")
  list(TRANSFORM changes REPLACE "^<li>|</li>$" "")
  set(changelog "")
  foreach(change IN LISTS changes)
    _brimfold_wrap("${change}" "  * " "    " 78 wrapped)
    string(APPEND changelog "${wrapped}")
  endforeach()

  set(CPACK_GENERATOR DEB)
  set(CPACK_VERBATIM_VARIABLES ON)
  set(CPACK_PACKAGE_NAME brimfold)
  set(CPACK_PACKAGE_VERSION "${CFBundleShortVersionString}")
  set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # Staged by `cmake --install` of the built tree (CPack sets DESTDIR). The package target
  # builds the tree first; cpack itself then builds nothing, so a test can package the tree
  # it was given cheaply. Naming the component keeps the user's own install_manifest.txt,
  # which is how they uninstall a `cmake --install`.
  set(CPACK_INSTALL_CMAKE_PROJECTS "")
  set(CPACK_INSTALL_COMMANDS "\"${CMAKE_COMMAND}\" --install \"${PROJECT_BINARY_DIR}\" --prefix /usr --component Unspecified")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BrimfoldPackageMaintainer}")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${homepage}")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${summary}\n${description}")
  # The libraries every program and module of ours links (dpkg-shlibdeps), then what is loaded
  # at run time and so invisible to it: Qt's WebP and TIFF readers, and the symbols' icon theme.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins, adwaita-icon-theme")
  # Text is read in the languages whose data is installed; sharing and opening go through
  # xdg-email and xdg-open.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tesseract-ocr-eng, tesseract-ocr-ara, xdg-utils")
  # The desktops whose search lists screenshots, and the portal that binds the shortcut under
  # Wayland.
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell | plasma-workspace, xdg-desktop-portal")

  # What Debian wants beside the files: the copyright, a changelog, stripped binaries and
  # permissions that do not depend on the umask.
  set(CPACK_BRIMFOLD_COPYRIGHT "${CMAKE_CURRENT_SOURCE_DIR}/debian/copyright")
  set(CPACK_BRIMFOLD_STRIP "${CMAKE_STRIP}")
  set(CPACK_BRIMFOLD_CHANGES "${changelog}")
  set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_SOURCE_DIR}/DebianStage.cmake")
  include(CPack)
endfunction()
