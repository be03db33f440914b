# Run by CPack before it builds the packages: the staged libombrix.so.1 must export exactly
# the symbols that packaging/libombrix1.symbols lists.
file(GLOB_RECURSE libraries "${CPACK_TEMPORARY_DIRECTORY}/*/libombrix.so.1.*")
if(NOT libraries)
  return() # a package build without the library
endif()
list(GET libraries 0 library)
execute_process(
  COMMAND ${CPACK_SKYWAND_GENSYMBOLS} -plibombrix1 -v${CPACK_PACKAGE_VERSION} -e${library}
          -I${CPACK_SKYWAND_SYMBOLS} -O/dev/null -c4
  WORKING_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "libombrix.so.1 does not export what packaging/libombrix1.symbols lists:\n${output}")
endif()
