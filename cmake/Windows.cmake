# The Windows package of a counter: `cpack` in the Windows build folder makes a ZIP and an
# NSIS installer. Everything lies in one folder, the program's folder, which is also the
# counter folder (Varnet.ini, the layout files, the journal): the programs, our SQLite
# extension, Qt's DLLs and plugins, and the MinGW-w64 runtime.
set(_programs varnet varnet-label varnet-scale varnet-journal varnet-democat)
# The workstation is a window without a console; the tools keep theirs.
set_target_properties(varnet PROPERTIES WIN32_EXECUTABLE ON)
install(TARGETS ${_programs} RUNTIME DESTINATION .)
install(TARGETS varnet_sqlite LIBRARY DESTINATION . RUNTIME DESTINATION .)

# Qt: the four libraries the programs link (print support for Windows is inside
# Qt6PrintSupport), the Windows platform plugin and its style.
set(_qt_prefix ${QT6_INSTALL_PREFIX})
foreach(_lib Core Gui Widgets PrintSupport)
  install(FILES ${_qt_prefix}/bin/Qt6${_lib}.dll DESTINATION .)
endforeach()
install(FILES ${_qt_prefix}/plugins/platforms/qwindows.dll DESTINATION platforms)
install(FILES ${_qt_prefix}/plugins/styles/qwindowsvistastyle.dll DESTINATION styles)

# The compiler's runtime: the C++ library, the unwinder and the POSIX threads of the posix
# compilers.
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    find_file(_path_${_dll} ${_dll} PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH REQUIRED)
    set(_path ${_path_${_dll}})
  endif()
  install(FILES ${_path} DESTINATION .)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION . RENAME copyright.txt)

# The build tree runs under Wine as it is: the same DLLs and plugins beside the programs and
# the tests.
add_custom_target(windows_runtime ALL)
foreach(_dir ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/tests)
  foreach(_lib Core Gui Widgets PrintSupport Test)
    add_custom_command(TARGET windows_runtime POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_qt_prefix}/bin/Qt6${_lib}.dll ${_dir}/)
  endforeach()
  foreach(_plugin platforms/qwindows.dll platforms/qminimal.dll styles/qwindowsvistastyle.dll)
    get_filename_component(_sub ${_plugin} DIRECTORY)
    add_custom_command(TARGET windows_runtime POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}/${_sub}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_qt_prefix}/plugins/${_plugin} ${_dir}/${_sub}/)
  endforeach()
  foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                    OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${_path}")
      set(_path /usr/x86_64-w64-mingw32/lib/${_dll})
    endif()
    add_custom_command(TARGET windows_runtime POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${_path} ${_dir}/)
  endforeach()
endforeach()

set(CPACK_PACKAGE_NAME Varnet)
set(CPACK_PACKAGE_VENDOR Varnet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pre-packing counter: weighs, prices and prints labels")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Varnet)
set(CPACK_PACKAGE_FILE_NAME Varnet-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_NSIS_DISPLAY_NAME Varnet)
set(CPACK_NSIS_PACKAGE_NAME Varnet)
# The operators write the counter folder (settings, layouts, journal), so the installer
# proposes a folder of its own at the drive's root rather than under Program Files.
set(CPACK_NSIS_INSTALL_ROOT "C:")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_PACKAGE_EXECUTABLES varnet Varnet)
set(CPACK_NSIS_MENU_LINKS varnet.exe Varnet)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/packaging/copyright)
include(CPack)
