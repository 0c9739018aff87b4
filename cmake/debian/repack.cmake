# Run by CPack once it has written the Debian package (CPACK_POST_BUILD_SCRIPTS):
# packs it again with dpkg-deb, so that the same commit gives the same bytes on
# any machine. CPack adds each directory's size on the building disk to
# Installed-Size (4 KiB on ext4, a few bytes on tmpfs); here the field is
# counted from the contents alone, as dpkg-gencontrol counts it: each file and
# symbolic link its size in KiB rounded up, anything else 1. dpkg-deb then packs
# the files in name order, owned by root, with every time stamp clamped to
# SOURCE_DATE_EPOCH when that is set.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(root ${deb}.repack)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${root} COMMAND_ERROR_IS_FATAL ANY)

  set(kib 0)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${root} ${root}/*)
  foreach(entry IN LISTS entries)
    if(entry MATCHES "^DEBIAN(/|$)")
      continue()
    elseif(IS_SYMLINK ${root}/${entry})
      file(READ_SYMLINK ${root}/${entry} target)
      string(LENGTH "${target}" size)
    elseif(IS_DIRECTORY ${root}/${entry})
      set(size 1)
    else()
      file(SIZE ${root}/${entry} size)
    endif()
    math(EXPR kib "${kib} + (${size} + 1023) / 1024")
  endforeach()

  file(READ ${root}/DEBIAN/control control)
  if(NOT control MATCHES "\nInstalled-Size: [0-9]+")
    message(FATAL_ERROR "${deb}: CPack wrote no Installed-Size")
  endif()
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+" "\nInstalled-Size: ${kib}" control "${control}")
  file(WRITE ${root}/DEBIAN/control "${control}")
  # The control files and their folder as Debian has them, whatever the umask.
  file(GLOB control_files ${root}/DEBIAN/*)
  file(CHMOD ${control_files} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  file(CHMOD ${root}/DEBIAN DIRECTORY_PERMISSIONS
       OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${root} ${deb}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
endforeach()
