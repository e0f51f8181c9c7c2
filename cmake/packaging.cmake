# Installation layout and the Debian package of the suite (cpack -G DEB).
#
#   bin/            mobile, telvane, brindel and brindel-operator (the download
#                   engine's operator programs, with the multi-download module
#                   they load from beside them),
#                   simphone (the emulated phone of `mobile --demo`), and
#                   the files the engine and the panel library read beside
#                   their programs (flash.txt, tessivo.uir)
#   lib/telvane/    libquorlink, libbrindel, libtessivo (private: the
#                   programs find them through their run path)
#   share/telvane/  the resource bundle Resource.rcc and the flash loader
#                   dwl874_7.spm (the flash bridge looks beside its program,
#                   then in ../share/telvane)
#   share/applications, share/icons, lib/udev/rules.d, share/doc/telvane
#
# Included last by the top-level build, once every target exists.

if(TELVANE_FUZZ OR NOT TELVANE_SANITIZE STREQUAL "" OR NOT TARGET mobile)
  return()
endif()

set(TELVANE_LIBDIR lib/telvane)
foreach(program mobile telvane brindel_cli brindel_operator simphone)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
foreach(library quorlink brindel tessivo)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${TELVANE_LIBDIR})
  endif()
endforeach()
if(TARGET brindel_dll)
  set_target_properties(brindel_dll PROPERTIES INSTALL_RPATH "$ORIGIN/../${TELVANE_LIBDIR}")
  install(TARGETS brindel_dll LIBRARY DESTINATION bin)
endif()
if(TARGET brindel_operator)
  install(FILES ${PROJECT_SOURCE_DIR}/linux/brindel-operator.desktop DESTINATION share/applications)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/brindel/flash.txt DESTINATION bin)
if(TARGET tessivo)
  install(FILES ${PROJECT_SOURCE_DIR}/tessivo/tessivo.uir DESTINATION bin)
endif()
if(TARGET bridge_boot_file)
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/dwl874_7.spm DESTINATION share/telvane)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/telvane)
install(FILES ${PROJECT_SOURCE_DIR}/linux/copyright DESTINATION share/doc/telvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Telvane developers")
set(CPACK_PACKAGE_CONTACT "Telvane developers <telvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Phone manager for R7730 phones on a PL2303 cable")
set(CPACK_PACKAGE_DESCRIPTION
  "Telvane manages a family of GSM feature phones from the PC: phonebook,\n"
  "short messages, pictures and wallpapers, ringtones, MP3 ringtones written\n"
  "into the phone's flash, video clips, and backup and restore. It brings\n"
  "the desktop program `mobile`, the command line `telvane`, the firmware\n"
  "download engine's operator program `brindel`, and the emulated phone\n"
  "`simphone` behind `mobile --demo`.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from dpkg-shlibdeps; what the programs start or read at run
# time besides: the Qt platform plugins (a window at all), the General MIDI
# sound font (ringtone preview) and the MP3 encoder (MP3 mode).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${TELVANE_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fluid-soundfont-gm, lame")
# Chinese texts need a CJK font; the toolkit's own texts in Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/linux/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The built package unpacks into a tree whose programs run.
add_test(NAME package_unpacks_and_runs
  COMMAND ${PROJECT_SOURCE_DIR}/linux/package_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(package_unpacks_and_runs PROPERTIES LABELS "package" TIMEOUT 240)
