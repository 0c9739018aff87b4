# The Debian package: `cmake --build --preset default --target package` writes
# build/dorvik_<version>_amd64.deb from the install rules, with the manual
# page, the copyright file and the changelog that Debian asks of a package,
# the AppStream record that software centres read, and its run-time
# dependencies worked out from the binaries (dpkg-shlibdeps: giflib for
# dorvik-frames, which the viewer does not link). It is the same to
# the bit wherever it is built (debian/repack.cmake); tools/release.sh builds
# it with SOURCE_DATE_EPOCH set to the commit's time.

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})
set(man_dir ${CMAKE_INSTALL_MANDIR}/man1)
set(package_files ${CMAKE_BINARY_DIR}/package-files)

# Debian wants the manual page and the changelog compressed at the highest
# level, without a name or time stamp in the gzip header (reproducible).
set(compressed)
foreach(source IN ITEMS ${PROJECT_SOURCE_DIR}/docs/dorvik.1
                        ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(gz ${package_files}/${name}.gz)
  add_custom_command(
    OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_files}
    COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${source} ${gz}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  list(APPEND compressed ${gz})
endforeach()
# dorvik-frames is described in the same page.
set(frames_page ${package_files}/dorvik-frames.1.gz)
add_custom_command(
  OUTPUT ${frames_page}
  COMMAND ${CMAKE_COMMAND} -E create_symlink dorvik.1.gz ${frames_page}
  DEPENDS ${package_files}/dorvik.1.gz
  VERBATIM)
add_custom_target(dorvik_package_files ALL DEPENDS ${compressed} ${frames_page})

install(FILES ${package_files}/dorvik.1.gz ${frames_page}
        DESTINATION ${man_dir})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${doc_dir})
# A native package: its one changelog is the Debian changelog, named changelog.gz.
install(FILES ${package_files}/changelog.gz DESTINATION ${doc_dir})
install(FILES ${PROJECT_SOURCE_DIR}/window/sdl/org.example.dorvik.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "dorvik maintainers <maintainers@dorvik.example.org>"
    CACHE STRING "The package's maintainer, name and address")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "looping animation of a cam-driven valve mechanism")
# The first line of the package's description is the summary above; a lone
# "." stands for an empty line.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "dorvik plays a looping animation of a valve gear: a cam turns one eighteenth\n"
  "of a turn per frame, a cup follower and a rod ride on it, and a lever and an\n"
  "arm pass the lift on to the valve. Two phase-aligned sets of 18 frames, with\n"
  "a small and a large valve lift, travel inside the program.\n"
  "\n"
  "The keys + - / * and the space bar run, reverse, step and switch the set;\n"
  "the pointer sets the speed, and a click switches to a mode in which moving\n"
  "the pointer steps through the frames. dorvik-frames writes the frames out\n"
  "as bitmaps, with a contact sheet and a lift chart, and each set's turn as\n"
  "a looping GIF for slides.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Directories 0755 whatever the umask of the machine that builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/repack.cmake)
include(CPack)
