# The release packages, made by CPack from `cmake --install` (scripts/release.sh drives both):
#   host tree:  a Debian package: /usr/bin/qjxpack, /usr/lib/qjxpack/x86|x64/qjxsea.exe
#   win32 tree: a zip: qjxpack.exe with x86\qjxsea.exe and x64\qjxsea.exe beside it
# qjxpack finds the stubs at these places relative to itself (tools/cli/stub_location.h). A tree
# builds one stub at most; the other comes from the Windows tree beside it (QJX_DEFAULT_STUB,
# QJX_DEFAULT_STUB_X64), built first.
if(WIN32)
  set(stub_folder .)
  install(TARGETS qjxpack RUNTIME DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "qjxpack-${PROJECT_VERSION}-windows")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(stub_folder lib/qjxpack)
  install(TARGETS qjxpack RUNTIME DESTINATION bin)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
foreach(arch x86 x64)
  install(FILES ${QJX_STUB_${arch}} DESTINATION ${stub_folder}/${arch} RENAME qjxsea.exe)
endforeach()

set(CPACK_PACKAGE_NAME qjxpack)
set(CPACK_PACKAGE_VENDOR "QJX")
set(CPACK_PACKAGE_CONTACT "QJX release engineering <release@qjx.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Packer for QJX self-extracting installers, with the stock Windows stubs (x86, x64)")
# The staged files get the usual modes before they are archived, so that two packagings give the
# same bytes (scripts/release.sh also sets SOURCE_DATE_EPOCH and packs under fakeroot).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/normalise_staging.cmake)
include(CPack)
