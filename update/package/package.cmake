# The installation package HM_Plugin-client.zip (win32 build, target `package`): the shipped
# plugin, the browser helper, a default HM_Plugin.ini, INSTALOVAT.cmd, ZKONTROLOVAT.cmd and
# CTIMNE.txt. Included from core/CMakeLists.txt once HM_Plugin exists.
set(HM_PACKAGE_API_URL "https://${HM_COMMUNITY_SERVER}/HM/MEDIA-PLUGIN/api" CACHE STRING
    "ApiUrl written into the packaged HM_Plugin.ini")
set(HM_BROWSER_EXE "${CMAKE_SOURCE_DIR}/build/win64/bin/HM_PluginBrowser.exe" CACHE FILEPATH
    "HM_PluginBrowser.exe of the win64 build, packaged beside the plugin")
set(HM_CEF_DIR "" CACHE PATH "Release folder of a CEF distribution whose runtime files are packaged with the helper")

set(pkg_src ${CMAKE_SOURCE_DIR}/update/package)
set(pkg_dir ${CMAKE_BINARY_DIR}/package)
set(HM_CEF_FILES libcef.dll chrome_elf.dll icudtl.dat resources.pak v8_context_snapshot.bin)
if(HM_CEF_DIR)
  set(HM_CEF_PACKAGED 1)
  set(HM_CEF_NOTE "Balicek obsahuje knihovny CEF pro televizi (slozka HM_PluginBrowser).")
else()
  set(HM_CEF_PACKAGED 0)
  set(HM_CEF_NOTE "Tento balicek NEOBSAHUJE knihovny CEF (libcef.dll a dalsi): televize ve hre bez nich nepobezi.")
endif()
foreach(f HM_Plugin.ini INSTALOVAT.cmd ZKONTROLOVAT.cmd CTIMNE.txt)
  configure_file(${pkg_src}/${f}.in ${pkg_dir}/${f} @ONLY)
endforeach()

set(pkg_zip ${CMAKE_BINARY_DIR}/HM_Plugin-client.zip)
set(pkg_entries
  "HM_Plugin.dll=$<TARGET_FILE:HM_Plugin>"
  "HM_PluginBrowser/HM_PluginBrowser.exe=${HM_BROWSER_EXE}")
set(pkg_depends HM_Plugin ${HM_BROWSER_EXE} ${pkg_src}/make_zip.py)
foreach(f HM_Plugin.ini INSTALOVAT.cmd ZKONTROLOVAT.cmd CTIMNE.txt)
  list(APPEND pkg_entries "${f}=${pkg_dir}/${f}")
  list(APPEND pkg_depends ${pkg_dir}/${f})
endforeach()
if(HM_CEF_DIR)
  foreach(f IN LISTS HM_CEF_FILES)
    list(APPEND pkg_entries "HM_PluginBrowser/${f}=${HM_CEF_DIR}/${f}")
    list(APPEND pkg_depends ${HM_CEF_DIR}/${f})
  endforeach()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${pkg_zip}
  COMMAND ${Python3_EXECUTABLE} ${pkg_src}/make_zip.py ${pkg_zip} ${pkg_entries}
  DEPENDS ${pkg_depends}
  COMMENT "HM_Plugin-client.zip"
  VERBATIM)
# Part of `all` only when the helper is there, so a win32 build without a win64 one still builds.
if(EXISTS ${HM_BROWSER_EXE})
  add_custom_target(package ALL DEPENDS ${pkg_zip})
else()
  message(STATUS "package: ${HM_BROWSER_EXE} not built yet; build win64, then the `package` target")
  add_custom_target(package DEPENDS ${pkg_zip})
endif()

# The package made again from its own files at another time and order gives the same bytes.
add_test(NAME package_reproducible
  COMMAND ${Python3_EXECUTABLE} ${pkg_src}/check_reproducible.py ${pkg_src}/make_zip.py ${pkg_zip})
set_tests_properties(package_reproducible PROPERTIES LABELS update TIMEOUT 60)
