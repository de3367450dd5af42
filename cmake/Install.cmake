# Install rules and packages (scripts/package makes them into dist/).
#
# Linux (cmake --install, the Debian package): the programs, the tools the
# program starts (the batch host, the hardware-report tool) and the assets in a
# program folder of their own, lib/vantor; links on PATH in bin; the desktop
# entry, icons, AppStream metainfo, man pages and bash completion in share. The
# program finds its assets beside its executable (through the links too) and,
# as that folder is not the user's to write, writes into the user's folders.
#
# The portable archives (Linux .tar.gz, Windows .zip) and the Windows installer
# hold one folder with the programs and the assets side by side: component
# "portable" on Linux (installed only when asked for), the only layout on Windows.

# The day this version is released (with the project's version): the metainfo's
# release, the man pages' date, the Debian changelog's entry.
set(VANTOR_RELEASE_DATE 2026-12-11)
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _vantor_date "${VANTOR_RELEASE_DATE}")
if(NOT _vantor_date)
  message(FATAL_ERROR "VANTOR_RELEASE_DATE is not YYYY-MM-DD: ${VANTOR_RELEASE_DATE}")
endif()
# Its day of the week (Sakamoto's method) for the changelog's RFC 2822 date.
math(EXPR _y "${CMAKE_MATCH_1}")
math(EXPR _m "${CMAKE_MATCH_2}")
math(EXPR _d "${CMAKE_MATCH_3}")
set(_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
set(_vantor_weekdays Sun Mon Tue Wed Thu Fri Sat)
math(EXPR _i "${_m} - 1")
list(GET _offsets ${_i} _offset)
if(_m LESS 3)
  math(EXPR _y "${_y} - 1")
endif()
math(EXPR _weekday "(${_y} + ${_y} / 4 - ${_y} / 100 + ${_y} / 400 + ${_offset} + ${_d}) % 7")
list(GET _vantor_weekdays ${_weekday} _weekday_name)
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET _months ${_i} _month_name)
set(VANTOR_RELEASE_DATE_RFC2822 "${_weekday_name}, ${_d} ${_month_name} ${CMAKE_MATCH_1} 12:00:00 +0000")

# Installing takes what is built and builds nothing: the packages need only the
# programs (target vantor_installed), not the whole build with its tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(CPACK_PACKAGE_NAME vantor)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Quorvane <pellmarr@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "benchmark front end for Half-Life 2")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.quorvane.example/vantor/")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageGenerators.cmake)

# The programs of a package: the front ends and the tools they start. The
# window joins wherever this build has it.
set(_vantor_programs vantor-cli)
if(TARGET vantor)
  list(APPEND _vantor_programs vantor)
endif()
if(NOT WIN32)
  list(APPEND _vantor_programs vantor-batch vantor_dxdiag)
endif()
# What the install rules take from the build, built by one target (scripts/package).
add_custom_target(vantor_installed)
add_dependencies(vantor_installed ${_vantor_programs})
set(_vantor_assets ${PROJECT_SOURCE_DIR}/assets/Demos ${PROJECT_SOURCE_DIR}/assets/Others
                   ${PROJECT_SOURCE_DIR}/assets/Pictures)

if(WIN32)
  # One folder: Program Files\Vantor (installer) or wherever the zip is unpacked.
  install(TARGETS ${_vantor_programs} RUNTIME DESTINATION . COMPONENT program)
  install(DIRECTORY ${_vantor_assets} DESTINATION . COMPONENT program)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/help.htm ${PROJECT_SOURCE_DIR}/assets/icons/vantor.ico DESTINATION .
          COMPONENT program)
  # DLLs a program needs beside it (a shared Qt and its plugins): a build that
  # links them appends the files, or folders, to VANTOR_WINDOWS_RUNTIME.
  get_property(_vantor_runtime GLOBAL PROPERTY VANTOR_WINDOWS_RUNTIME)
  foreach(item ${_vantor_runtime})
    if(IS_DIRECTORY ${item})
      install(DIRECTORY ${item} DESTINATION . COMPONENT program)
    else()
      install(FILES ${item} DESTINATION . COMPONENT program)
    endif()
  endforeach()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vantor-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  include(CPack)
  return()
endif()

set(VANTOR_PROGRAM_DIR lib/vantor CACHE STRING "The program's own folder, below the install prefix")
install(TARGETS ${_vantor_programs} RUNTIME DESTINATION ${VANTOR_PROGRAM_DIR} COMPONENT program)
install(DIRECTORY ${_vantor_assets} DESTINATION ${VANTOR_PROGRAM_DIR} COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/assets/help.htm DESTINATION ${VANTOR_PROGRAM_DIR} COMPONENT program)

# The launchers on PATH: relative links into the program's folder.
set(_vantor_launchers vantor-cli)
if(TARGET vantor)
  list(APPEND _vantor_launchers vantor)
endif()
file(RELATIVE_PATH _vantor_bin_to_program ${CMAKE_INSTALL_PREFIX}/bin ${CMAKE_INSTALL_PREFIX}/${VANTOR_PROGRAM_DIR})
foreach(name ${_vantor_launchers})
  install(CODE "
    set(_link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${name}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(REMOVE \"\${_link}\")
    file(CREATE_LINK \"${_vantor_bin_to_program}/${name}\" \"\${_link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_link}\")
    message(STATUS \"Installing: \${_link} -> ${_vantor_bin_to_program}/${name}\")"
    COMPONENT program)
endforeach()

# The desktop's view of the program.
set(VANTOR_APP_ID example.quorvane.vantor)
set(_share ${CMAKE_CURRENT_BINARY_DIR}/share)
if(TARGET vantor)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/${VANTOR_APP_ID}.desktop DESTINATION share/applications
          COMPONENT program)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/${VANTOR_APP_ID}.metainfo.xml.in
                 ${_share}/${VANTOR_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${_share}/${VANTOR_APP_ID}.metainfo.xml DESTINATION share/metainfo COMPONENT program)
  foreach(size 16 22 24 32 48 64 128 256 512)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/vantor-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vantor.png COMPONENT program)
  endforeach()
endif()

# Man pages (compressed as Debian wants them) and the shell's completion.
set(_vantor_manuals vantor-cli.1)
if(TARGET vantor)
  list(APPEND _vantor_manuals vantor.1)
endif()
find_program(VANTOR_GZIP gzip REQUIRED)
foreach(page ${_vantor_manuals})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/${page}.in ${_share}/${page} @ONLY)
  add_custom_command(OUTPUT ${_share}/${page}.gz
    COMMAND ${VANTOR_GZIP} -9nf -k ${_share}/${page}
    DEPENDS ${_share}/${page} VERBATIM)
  list(APPEND _vantor_manual_files ${_share}/${page}.gz)
  install(FILES ${_share}/${page}.gz DESTINATION share/man/man1 COMPONENT program)
endforeach()
add_custom_target(vantor_manuals ALL DEPENDS ${_vantor_manual_files})
add_dependencies(vantor_installed vantor_manuals)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/vantor-cli.bash DESTINATION share/bash-completion/completions
        RENAME vantor-cli COMPONENT program)

# The package's documents.
configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/changelog.in ${_share}/changelog @ONLY)
add_custom_command(OUTPUT ${_share}/changelog.Debian.gz
  COMMAND ${VANTOR_GZIP} -9nf -k ${_share}/changelog
  COMMAND ${CMAKE_COMMAND} -E rename ${_share}/changelog.gz ${_share}/changelog.Debian.gz
  DEPENDS ${_share}/changelog VERBATIM)
add_custom_target(vantor_package_docs ALL DEPENDS ${_share}/changelog.Debian.gz)
add_dependencies(vantor_installed vantor_package_docs)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/copyright ${_share}/changelog.Debian.gz
        DESTINATION share/doc/vantor COMPONENT program)

# The portable copy: one folder, never part of a plain cmake --install.
install(TARGETS ${_vantor_programs} RUNTIME DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(DIRECTORY ${_vantor_assets} DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/assets/help.htm DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/copyright DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)

# Debian package: /usr, dependencies from the shared libraries the programs use.
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# libcurl and SQLite are loaded when first used, so the shared libraries'
# dependencies do not show them: named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4 | libcurl3-gnutls, libsqlite3-0")
# CPack puts the summary above these lines and indents them.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vantor runs Half-Life 2 through Steam as a timed demo at the resolutions,
detail level, texture filtering, antialiasing and engine options you pick,
reads the frames per second after each pass and writes an HTML report, then
puts your own game configuration back. Every run is kept in a history that
can be listed, compared and exported. The window is vantor, the command line
vantor-cli.")
set(CPACK_ARCHIVE_FILE_NAME vantor-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
