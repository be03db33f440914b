# Run by CPack after it has built the packages; finishes the control part of libombrix1 the
# way Debian's own tools would:
#   symbols    the symbols file, made by dpkg-gensymbols from packaging/libombrix1.symbols and
#              the packaged library. It stops the package build when the library no longer
#              exports exactly the listed symbols: a removed one breaks programs built against
#              an earlier version, an added one must be listed with the version that brought it.
#              The check runs as for a later version ("+1"): dpkg-gensymbols forgives the loss
#              of a symbol that the version being built brought, and every listed symbol
#              counts as released.
#   triggers   "activate-noawait ldconfig", in place of the postinst and postrm scripts that
#              call ldconfig, which CPack writes and Debian no longer wants.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^libombrix1_")
    continue()
  endif()
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/libombrix1-control)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb -R ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE library ${tree}/usr/*/libombrix.so.1.*)
  execute_process(
    COMMAND ${CPACK_SKYWAND_GENSYMBOLS} -plibombrix1 -v${CPACK_PACKAGE_VERSION}+1 -e${library}
            -I${CPACK_SKYWAND_SYMBOLS} -O${tree}/DEBIAN/symbols -c4
    WORKING_DIRECTORY ${tree} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "libombrix.so.1 does not export what packaging/libombrix1.symbols lists:\n${output}")
  endif()
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  file(WRITE ${tree}/DEBIAN/triggers "activate-noawait ldconfig\n")
  file(CHMOD ${tree}/DEBIAN/symbols ${tree}/DEBIAN/triggers
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
