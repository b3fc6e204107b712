# Installing on Windows: one program folder, as a Windows user expects it,
# with everything the programs need beside them. The NSIS installer made by
# CPack copies this folder (levelnet-VERSION-win64.exe):
#   levelnet.exe, levelnet-gui.exe, levelnet-pdf.exe
#   Qt's DLLs and the MinGW-w64 runtime DLLs, qt.conf
#   plugins\platforms, plugins\styles   Qt's plugins (the window, offscreen)
#   translations\                       Qt's Chinese translations
#   fonts\                              the CJK face the report is laid out in, and
#                                       DejaVu Serif for the characters it lacks
#   README.md, LICENSE, examples\

install(TARGETS levelnet RUNTIME DESTINATION .)
foreach(program levelnet-gui levelnet-pdf)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION .)
  endif()
endforeach()
install(FILES README.md LICENSE DESTINATION .)
install(DIRECTORY examples DESTINATION .)

# The MinGW-w64 runtime the programs and Qt's DLLs were linked against.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE LEVELNET_LIBSTDCXX_DLL OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
                OUTPUT_VARIABLE LEVELNET_LIBGCC_DLL OUTPUT_STRIP_TRAILING_WHITESPACE)
find_file(LEVELNET_WINPTHREAD_DLL libwinpthread-1.dll PATHS /usr/x86_64-w64-mingw32/lib NO_CMAKE_FIND_ROOT_PATH)
foreach(dll ${LEVELNET_LIBSTDCXX_DLL} ${LEVELNET_LIBGCC_DLL} ${LEVELNET_WINPTHREAD_DLL})
  if(NOT IS_ABSOLUTE "${dll}" OR NOT EXISTS "${dll}")
    message(FATAL_ERROR "MinGW-w64 runtime DLL not found: ${dll}")
  endif()
endforeach()
install(FILES ${LEVELNET_LIBSTDCXX_DLL} ${LEVELNET_LIBGCC_DLL} ${LEVELNET_WINPTHREAD_DLL} DESTINATION .)

if(TARGET levelnet-gui OR TARGET levelnet-pdf)
  # Qt built for Windows (tools/windows/build-qt.sh): its DLLs and plugins.
  if(QT6_INSTALL_PREFIX)
    set(LEVELNET_QT_PREFIX ${QT6_INSTALL_PREFIX})
  else()
    get_filename_component(LEVELNET_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
  endif()
  foreach(module Core Gui Widgets PrintSupport)
    install(FILES ${LEVELNET_QT_PREFIX}/bin/Qt6${module}.dll DESTINATION .)
  endforeach()
  install(FILES ${LEVELNET_QT_PREFIX}/plugins/platforms/qwindows.dll ${LEVELNET_QT_PREFIX}/plugins/platforms/qoffscreen.dll
          DESTINATION plugins/platforms)
  if(EXISTS ${LEVELNET_QT_PREFIX}/plugins/styles)
    install(DIRECTORY ${LEVELNET_QT_PREFIX}/plugins/styles DESTINATION plugins FILES_MATCHING PATTERN "*.dll")
  endif()
  install(FILES packaging/windows/qt.conf DESTINATION .)
  # Qt's Chinese translations (Debian's qt6-translations-l10n; the .qm files
  # are the same on every platform).
  foreach(qm qt_zh_CN qtbase_zh_CN)
    find_file(LEVELNET_QM_${qm} ${qm}.qm PATHS /usr/share/qt6/translations NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
    if(LEVELNET_QM_${qm})
      install(FILES ${LEVELNET_QM_${qm}} DESTINATION translations)
    else()
      message(FATAL_ERROR "${qm}.qm not found: install Debian's qt6-translations-l10n")
    endif()
  endforeach()
  # The face of the report (Debian's fonts-arphic-uming), so that the PDF
  # and its columns are those of Linux.
  find_file(LEVELNET_UMING uming.ttc PATHS /usr/share/fonts/truetype/arphic NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
  if(NOT LEVELNET_UMING)
    message(FATAL_ERROR "uming.ttc not found: install Debian's fonts-arphic-uming")
  endif()
  install(FILES ${LEVELNET_UMING} /usr/share/doc/fonts-arphic-uming/copyright DESTINATION fonts)
  # The face the report's characters outside UMing come from (−, Š of
  # Šidák, …), as fontconfig falls back to it on Linux (Debian's
  # fonts-dejavu-core): without it the Windows PDF lost every minus sign of
  # the check report's formulas.
  find_file(LEVELNET_DEJAVU_SERIF DejaVuSerif.ttf PATHS /usr/share/fonts/truetype/dejavu NO_CMAKE_FIND_ROOT_PATH
            NO_DEFAULT_PATH)
  if(NOT LEVELNET_DEJAVU_SERIF)
    message(FATAL_ERROR "DejaVuSerif.ttf not found: install Debian's fonts-dejavu-core")
  endif()
  install(FILES ${LEVELNET_DEJAVU_SERIF} DESTINATION fonts)
  install(FILES /usr/share/doc/fonts-dejavu-core/copyright DESTINATION fonts RENAME copyright.dejavu)
endif()

# The installer: CPack's NSIS generator, a 64-bit Unicode installer (the
# Start-menu entry and the file type have Chinese names), installing for all
# users into Program Files.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_FILE_NAME "levelnet-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "levelnet")
set(CPACK_PACKAGE_VENDOR "levelnet")
set(CPACK_NSIS_PACKAGE_NAME "水准网平差 levelnet ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "水准网平差 levelnet ${PROJECT_VERSION}")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DEFINES "Unicode true\n  Target amd64-unicode")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_PACKAGE_EXECUTABLES "levelnet-gui" "水准网平差")
set(CPACK_NSIS_INSTALLED_ICON_NAME "levelnet-gui.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# .pc files open in the window; the uninstaller takes the association away
# only while it is still levelnet's. (CPack writes these texts into its
# configuration file without quoting them: quotes are given as \".)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  WriteRegStr HKCR \".pc\" \"\" \"levelnet.pc\"
  WriteRegStr HKCR \"levelnet.pc\" \"\" \"水准网文件\"
  WriteRegStr HKCR \"levelnet.pc\\DefaultIcon\" \"\" \"$INSTDIR\\levelnet-gui.exe,0\"
  WriteRegStr HKCR \"levelnet.pc\\shell\\open\\command\" \"\" '\"$INSTDIR\\levelnet-gui.exe\" \"%1\"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
]=])
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS [=[
  ReadRegStr $0 HKCR \".pc\" \"\"
  StrCmp $0 \"levelnet.pc\" 0 +2
  DeleteRegKey HKCR \".pc\"
  DeleteRegKey HKCR \"levelnet.pc\"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
]=])
# With SOURCE_DATE_EPOCH the files go into the installer with that time, so
# that it is the same file on every run.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/reproducible_times.cmake)
# CPack writes the page file NSIS.InstallOptions.ini afresh on every run,
# after those scripts, and NSIS stores its time too: makensis gives it
# SOURCE_DATE_EPOCH before reading it (a shell command at compile time).
string(APPEND CPACK_NSIS_DEFINES
       "\n  !system 'test -z $SOURCE_DATE_EPOCH || touch -d @$SOURCE_DATE_EPOCH NSIS.InstallOptions.ini' = 0")
