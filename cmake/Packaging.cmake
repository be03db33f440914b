# Installation layout and the Debian package.
#
#   <prefix>/lib/skywandtester/skywandtester   the tester (SKYWAND_APP_DIR)
#   <prefix>/lib/skywandtester/doc/            its help pages (installed by doc/)
#   <prefix>/bin/skywandtester                 relative symbolic link to the tester
#   <prefix>/bin/ombrix-sim, ombrix-monitor    the command-line tools (installed by tools/)
#   <prefix>/share/applications/skywandtester.desktop
#   <prefix>/share/icons/hicolor/<N>x<N>/apps/skywandtester.png
#   <prefix>/lib/libombrix.so.1, include/ombrix/, lib/cmake/Ombrix/, lib/pkgconfig/ (client/)
#   <prefix>/lib/python3/dist-packages/ombrix.*.so and ombrix.pyi (python/)
#
# The tester finds its help pages and its configuration file through the folder of its
# executable. Qt resolves that folder from /proc/self/exe, so a symbolic link on the PATH leads
# it to the application folder, not to bin/. The configuration file is not installed: the
# tester creates it on first use where the folder is writable and otherwise keeps the port in
# memory.

set(SKYWAND_PNG_ICON_SIZES 16 24 32 48 64 128 256)

if(TARGET skywandtester)
  install(TARGETS skywandtester RUNTIME DESTINATION ${SKYWAND_APP_DIR})

  # The link's target is relative, so that the installed tree can be moved or unpacked anywhere.
  file(RELATIVE_PATH skywand_link_target /prefix/bin /prefix/${SKYWAND_APP_DIR}/skywandtester)
  install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/skywandtester\")
    message(STATUS \"Installing: \${link} -> ${skywand_link_target}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"${skywand_link_target}\" \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${CMAKE_INSTALL_PREFIX}/bin/skywandtester\")
  ")

  install(FILES ${PROJECT_SOURCE_DIR}/resources/skywandtester.desktop
          DESTINATION share/applications)
  foreach(size ${SKYWAND_PNG_ICON_SIZES})
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/skywandtester-${size}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps
            RENAME skywandtester.png)
  endforeach()
endif()

set(SKYWAND_PACKAGE_MAINTAINER "Skywand tester developers <skywand-tester@users.noreply.invalid>"
    CACHE STRING "Maintainer named in the Debian package")
# The date of this version's changelog entry, in the form Debian changelogs use.
set(SKYWAND_RELEASE_DATE "Sun, 06 Dec 2026 12:00:00 +0000")

# What Debian asks of every package: the licence in machine-readable form, a changelog and a
# manual page for each program, compressed without time stamps so that builds are repeatable.
set(skywand_package_dir ${CMAKE_BINARY_DIR}/package)

file(WRITE ${skywand_package_dir}/changelog.new
"skywandtester (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${SKYWAND_PACKAGE_MAINTAINER}  ${SKYWAND_RELEASE_DATE}
")
# Copied only when it changed, so that a new configure run rebuilds nothing.
configure_file(${skywand_package_dir}/changelog.new ${skywand_package_dir}/changelog COPYONLY)

find_program(GZIP_EXECUTABLE gzip REQUIRED)
find_program(HELP2MAN_EXECUTABLE help2man REQUIRED)

# skywand_gzip(<source> <output> [DEPENDS ...]): output = source compressed with gzip -9n.
function(skywand_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND ${GZIP_EXECUTABLE} -9nc ${source} > ${output}
    DEPENDS ${source} ${ARGN}
    VERBATIM)
endfunction()

skywand_gzip(${skywand_package_dir}/changelog ${skywand_package_dir}/changelog.gz)
set(skywand_package_files ${skywand_package_dir}/changelog.gz)

set(skywand_manual_pages)
if(TARGET skywandtester)
  skywand_gzip(${PROJECT_SOURCE_DIR}/doc/man/skywandtester.1
               ${skywand_package_dir}/skywandtester.1.gz)
  list(APPEND skywand_manual_pages ${skywand_package_dir}/skywandtester.1.gz)
endif()
# The tools' manual pages are made from their own --help and --version, so they never drift.
foreach(tool ombrix-sim ombrix-monitor)
  if(tool STREQUAL "ombrix-sim")
    set(summary "simulated Ombrix tracking controller")
  else()
    set(summary "show, check and record the Ombrix tracking stream arriving on a port")
  endif()
  add_custom_command(OUTPUT ${skywand_package_dir}/${tool}.1
    COMMAND ${HELP2MAN_EXECUTABLE} --no-info --section=1 --name=${summary}
            --output=${skywand_package_dir}/${tool}.1 $<TARGET_FILE:${tool}>
    DEPENDS ${tool}
    VERBATIM)
  skywand_gzip(${skywand_package_dir}/${tool}.1 ${skywand_package_dir}/${tool}.1.gz)
  list(APPEND skywand_manual_pages ${skywand_package_dir}/${tool}.1.gz)
endforeach()
list(APPEND skywand_package_files ${skywand_manual_pages})
add_custom_target(package_documents ALL DEPENDS ${skywand_package_files})
install(FILES ${skywand_manual_pages} DESTINATION share/man/man1)

# cpack -G DEB in the build folder makes four packages from this one build, one per install
# component: libombrix1 (component "library"), libombrix-dev ("dev"), python3-ombrix
# ("python") and skywandtester (everything else). Each carries its own copyright and changelog.
set(skywand_components library dev skywandtester)
if(TARGET ombrix_python)
  list(APPEND skywand_components python)
endif()
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libombrix1)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libombrix-dev)
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-ombrix)
set(CPACK_DEBIAN_SKYWANDTESTER_PACKAGE_NAME skywandtester)
foreach(component ${skywand_components})
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${skywand_package_dir}/changelog.gz
          DESTINATION share/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME skywandtester)
set(CPACK_PACKAGE_VENDOR "Skywand tester project")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description starts with its own summary line; a package-wide summary would be
# put in front of every one. Debian wants description lines of at most 80 characters.
set(CPACK_COMPONENT_SKYWANDTESTER_DESCRIPTION
    "Checks a Skywand's buttons and joystick over Ombrix tracking
The Skywand tester shows live which buttons of a Skywand, a hand-held wireless
input device tracked by an Ombrix optical tracking controller, are pressed and
where its joystick stands, and runs a guided check of a device with a report.
It comes with ombrix-sim, a simulated controller that sends generated or
recorded tracking frames, and ombrix-monitor, which shows the rate, jitter,
losses and content of the tracking stream arriving on a port, checks a device
and records the stream for replay.")
set(skywand_client_text
"The Ombrix tracking client receives the UDP tracking frames of an Ombrix
optical tracking controller, keeps the newest one and parses it into records
of bodies, Skywands, measurement tools, hands and markers, and speaks the
controller's TCP command protocol.")
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "tracking client for Ombrix controllers - shared library
${skywand_client_text}
.
This package holds the shared library.")
set(CPACK_COMPONENT_DEV_DESCRIPTION "tracking client for Ombrix controllers - development files
${skywand_client_text}
.
This package holds the header, the CMake package (find_package(Ombrix)) and
the pkg-config file for programs that use the library.")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION "tracking client for Ombrix controllers - Python 3 module
${skywand_client_text}
.
This package holds the Python 3 module ombrix.")

set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${skywand_components})

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SKYWAND_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_SKYWANDTESTER_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
# dpkg-shlibdeps finds the libraries the executables link (Qt 6, the C++ run time). It finds
# libombrix.so.1 in the build but knows no package of it, so the packages that use it name
# it themselves, at exactly this version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/client)
set(skywand_library_depends "libombrix1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ${skywand_library_depends})
# The tester loads its platform plugin at run time, so that package is named here.
set(CPACK_DEBIAN_SKYWANDTESTER_PACKAGE_DEPENDS ${skywand_library_depends})
if(TARGET skywandtester)
  string(APPEND CPACK_DEBIAN_SKYWANDTESTER_PACKAGE_DEPENDS ", qt6-qpa-plugins")
endif()
if(TARGET ombrix_python)
  # The module is built for one Python version, the one its file name carries.
  set(python "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR})")
  math(EXPR next_minor "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "${skywand_library_depends}, ${python}, python3 (<< ${Python3_VERSION_MAJOR}.${next_minor})")
endif()

# The library's package declares its symbols (cmake/LibraryPackageControl.cmake).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
find_program(DPKG_GENSYMBOLS_EXECUTABLE dpkg-gensymbols REQUIRED)
set(CPACK_SKYWAND_GENSYMBOLS ${DPKG_GENSYMBOLS_EXECUTABLE})
set(CPACK_SKYWAND_SYMBOLS ${PROJECT_SOURCE_DIR}/packaging/libombrix1.symbols)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/LibraryPackageControl.cmake)

include(CPack)
