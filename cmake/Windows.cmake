# The Windows package of a counter: `cpack` in the Windows build folder makes a ZIP and an
# NSIS installer of one folder: the programs, our SQLite extension, Qt's DLLs and plugins, the
# MinGW-w64 runtime and the licences of what is not ours. Unpacked from the ZIP the folder is
# also the counter folder (Varnet.ini, the layout files, the journal); the installer puts it
# into Program Files and the counter's files into %ProgramData%\Varnet
# (packaging/windows/NSIS.template.in).
set(_programs varnet varnet-label varnet-scale varnet-scale-sim varnet-journal varnet-democat)
# The workstation is a window without a console; the tools keep theirs.
set_target_properties(varnet PROPERTIES WIN32_EXECUTABLE ON)
install(TARGETS ${_programs} RUNTIME DESTINATION .)
install(TARGETS varnet_sqlite LIBRARY DESTINATION . RUNTIME DESTINATION .)

# Each program's icon, version information and manifest (as invoker, aware of each monitor's
# scale). The icon is the program's SVG drawn at the sizes Windows shows.
find_program(MAGICK_CONVERT convert REQUIRED)
set(_icon ${CMAKE_BINARY_DIR}/package/varnet.ico)
set(_icon_pngs)
set(_icon_draws)
foreach(_size 16 24 32 48 64 256)
  set(_png ${CMAKE_BINARY_DIR}/package/icon-${_size}.png)
  list(APPEND _icon_pngs ${_png})
  list(APPEND _icon_draws COMMAND ${RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png}
       ${CMAKE_SOURCE_DIR}/res/icons/128.svg)
endforeach()
add_custom_command(OUTPUT ${_icon}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
  ${_icon_draws}
  COMMAND ${MAGICK_CONVERT} ${_icon_pngs} ${_icon}
  DEPENDS ${CMAKE_SOURCE_DIR}/res/icons/128.svg VERBATIM)
add_custom_target(varnet_icon DEPENDS ${_icon})
set(_descriptions
  "varnet=Varnet: рабочее место фасовщика"
  "varnet-label=Varnet: этикетки и макеты"
  "varnet-scale=Varnet: проверка весов"
  "varnet-scale-sim=Varnet: имитатор весов"
  "varnet-journal=Varnet: журнал фасовки"
  "varnet-democat=Varnet: демонстрационный каталог")
foreach(_entry ${_descriptions})
  string(REPLACE "=" ";" _pair "${_entry}")
  list(GET _pair 0 VARNET_RC_NAME)
  list(GET _pair 1 VARNET_RC_DESCRIPTION)
  set(VARNET_RC_ICON ${_icon})
  set(VARNET_RC_MANIFEST ${CMAKE_BINARY_DIR}/package/${VARNET_RC_NAME}.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/program.manifest.in ${VARNET_RC_MANIFEST} @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/program.rc.in
                 ${CMAKE_BINARY_DIR}/package/${VARNET_RC_NAME}.rc @ONLY)
  target_sources(${VARNET_RC_NAME} PRIVATE ${CMAKE_BINARY_DIR}/package/${VARNET_RC_NAME}.rc)
  set_source_files_properties(${CMAKE_BINARY_DIR}/package/${VARNET_RC_NAME}.rc PROPERTIES
                              OBJECT_DEPENDS "${_icon};${VARNET_RC_MANIFEST}")
  add_dependencies(${VARNET_RC_NAME} varnet_icon)
endforeach()
# The programs are stripped in the packages; the libraries and plugins they load are
# installed as stripped copies (Qt's and the runtime's carry their symbols).
set(CPACK_STRIP_FILES ON)
set(_stripped ${CMAKE_BINARY_DIR}/package/stripped)
set(_stripped_files)
# varnet_install_stripped(FILE DESTINATION): a stripped copy of FILE into the packages.
function(varnet_install_stripped file destination)
  get_filename_component(_name ${file} NAME)
  add_custom_command(OUTPUT ${_stripped}/${_name}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_stripped}
    COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${_stripped}/${_name} ${file}
    DEPENDS ${file} VERBATIM)
  set(_stripped_files ${_stripped_files} ${_stripped}/${_name} PARENT_SCOPE)
  install(FILES ${_stripped}/${_name} DESTINATION ${destination})
endfunction()

# Qt: the four libraries the programs link (print support for Windows is inside
# Qt6PrintSupport), the Windows platform plugin and its style.
set(_qt_prefix ${QT6_INSTALL_PREFIX})
foreach(_lib Core Gui Widgets PrintSupport)
  varnet_install_stripped(${_qt_prefix}/bin/Qt6${_lib}.dll .)
endforeach()
varnet_install_stripped(${_qt_prefix}/plugins/platforms/qwindows.dll platforms)
varnet_install_stripped(${_qt_prefix}/plugins/styles/qwindowsvistastyle.dll styles)

# The compiler's runtime: the C++ library, the unwinder and the POSIX threads of the posix
# compilers.
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    find_file(_path_${_dll} ${_dll} PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH REQUIRED)
    set(_path ${_path_${_dll}})
  endif()
  varnet_install_stripped(${_path} .)
endforeach()
add_custom_target(varnet_stripped ALL DEPENDS ${_stripped_files})

# The licences of the libraries the package carries: Qt (LGPL 3, which builds on the GPL 3;
# Debian's copyright file of qt6-base lists the third-party code inside Qt), where Qt's source
# is, and the compiler's runtime (GCC's runtime library exception, MinGW-w64's winpthreads).
set(_licences ${CMAKE_SOURCE_DIR}/packaging/windows/Qt-source.txt)
foreach(_pair "/usr/share/common-licenses/LGPL-3=Qt-LGPL-3.txt"
              "/usr/share/common-licenses/GPL-3=GPL-3.txt"
              "/usr/share/doc/libqt6core6/copyright=Qt-copyright.txt"
              "/usr/share/doc/gcc-mingw-w64-base/copyright=GCC-runtime-copyright.txt"
              "/usr/share/doc/mingw-w64-common/copyright=MinGW-w64-copyright.txt")
  string(REPLACE "=" ";" _pair "${_pair}")
  list(GET _pair 0 _from)
  list(GET _pair 1 _to)
  if(NOT EXISTS ${_from})
    message(FATAL_ERROR "${_from} is missing: scripts/windows/install-deps.sh installs it")
  endif()
  install(FILES ${_from} DESTINATION licenses RENAME ${_to})
endforeach()
install(FILES ${_licences} DESTINATION licenses)

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
set(CPACK_PACKAGE_VENDOR Morvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pre-packing counter: weighs, prices and prints labels")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Varnet)
set(CPACK_PACKAGE_FILE_NAME Varnet-${PROJECT_VERSION}-win64)
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# The installer comes from packaging/windows/NSIS.template.in: 64-bit, in Russian.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/packaging/windows)
set(CPACK_NSIS_DISPLAY_NAME Varnet)
set(CPACK_NSIS_PACKAGE_NAME Varnet)
set(CPACK_VARNET_ICON ${_icon})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/packaging/copyright)
include(CPack)
