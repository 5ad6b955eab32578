# The release packages, made by CPack from `cmake --install` (scripts/release.sh drives both):
#   host tree:  a Debian package: /usr/bin/qjxpack, /usr/lib/qjxpack/x86|x64/qjxsea.exe, the
#               copyright file, the changelog and the manual page qjxpack(1)
#   win32 tree: a zip: the folder qjxpack-VERSION with qjxpack.exe, x86\qjxsea.exe and
#               x64\qjxsea.exe beside it, LICENSE, README.txt and THIRD-PARTY-NOTICES.txt
# qjxpack finds the stubs at these places relative to itself (tools/cli/stub_location.h). A tree
# builds one stub at most; the other comes from the Windows tree beside it (QJX_DEFAULT_STUB,
# QJX_DEFAULT_STUB_X64), built first. The programs are stripped: the Windows packer when it is
# linked (tools/CMakeLists.txt), the Linux one by CPack, as dh_strip would.
set(packaging ${CMAKE_SOURCE_DIR}/packaging)
set(staged ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${staged})

if(WIN32)
  set(top qjxpack-${PROJECT_VERSION})
  set(stub_folder ${top})
  install(TARGETS qjxpack RUNTIME DESTINATION ${top})
  # Notepad before Windows 10 shows a text with bare line feeds as one line.
  configure_file(${CMAKE_SOURCE_DIR}/LICENSE ${staged}/LICENSE @ONLY NEWLINE_STYLE CRLF)
  configure_file(${packaging}/windows/README.txt ${staged}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${packaging}/THIRD-PARTY-NOTICES.txt ${staged}/THIRD-PARTY-NOTICES.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${staged}/LICENSE ${staged}/README.txt ${staged}/THIRD-PARTY-NOTICES.txt
          DESTINATION ${top})
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "qjxpack-${PROJECT_VERSION}-windows")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(stub_folder lib/qjxpack)
  install(TARGETS qjxpack RUNTIME DESTINATION bin)
  set(CPACK_STRIP_FILES ON)

  # The changelog's newest entry names the version being packaged: a release without its entry
  # stops here.
  file(STRINGS ${packaging}/debian/changelog newest LIMIT_COUNT 1)
  if(NOT newest MATCHES "^qjxpack \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog: the newest entry is \"${newest}\", not "
                        "version ${PROJECT_VERSION}: add an entry for this release")
  endif()
  # gzip -n leaves out the name and time, so that every build compresses to the same bytes.
  configure_file(${packaging}/qjxpack.1.in ${staged}/qjxpack.1 @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packaging}/debian/changelog)
  execute_process(COMMAND gzip -9n -c ${staged}/qjxpack.1 OUTPUT_FILE ${staged}/qjxpack.1.gz
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND gzip -9n -c ${packaging}/debian/changelog
                  OUTPUT_FILE ${staged}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${staged}/qjxpack.1.gz DESTINATION share/man/man1)
  # The package is its own upstream (native), so the changelog is changelog.gz.
  install(FILES ${packaging}/debian/copyright ${staged}/changelog.gz
          DESTINATION share/doc/qjxpack)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The extended description, in lines of at most 80 characters.
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
         "qjxpack makes installers for Windows from a stub program and a payload of\n"
         "files and folders: on Windows the installer extracts its payload into a new\n"
         "temporary folder while a progress window shows, and starts the Windows\n"
         "Installer on the package in the language the user picks. qjxpack writes the\n"
         "vendor's branding (names, version, icon, pictures, package and transforms)\n"
         "into the stub, and lists, verifies and extracts installers, signed ones too.\n"
         "\n"
         "This package holds qjxpack and the stock stubs for x86 and x64 Windows.")
endif()
foreach(arch x86 x64)
  install(FILES ${QJX_STUB_${arch}} DESTINATION ${stub_folder}/${arch} RENAME qjxsea.exe)
endforeach()

set(CPACK_PACKAGE_NAME qjxpack)
set(CPACK_PACKAGE_VENDOR "QJX")
set(CPACK_PACKAGE_CONTACT "QJX release engineering <release@qjx.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "packer for self-extracting Windows installers")
# The staged files get the usual modes before they are archived, so that two packagings give the
# same bytes (scripts/release.sh also sets SOURCE_DATE_EPOCH and packs under fakeroot).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/normalise_staging.cmake)
include(CPack)
