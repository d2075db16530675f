# Run by cpack once it has built the packages (CPACK_POST_BUILD_SCRIPTS): puts right what CMake
# 3.25's DEB generator gets wrong in the debug package it splits off, so that dpkg can verify it
# and lintian accepts it:
# - its md5sums name the files by their absolute path in cpack's staging folder, not by their
#   path in the package;
# - the .debug files are executable, as the binary they come from;
# - it has no /usr/share/doc folder; like the debug packages Debian builds, it gets a link to the
#   program's, whose copyright and changelog it shares (it depends on that very version).
# The package is unpacked, repaired and built again in its place with dpkg-deb.
cmake_minimum_required(VERSION 3.25)

function(write_md5sums root)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
  list(FILTER files EXCLUDE REGEX "^DEBIAN/")
  list(SORT files)
  set(sums "")
  foreach(file IN LISTS files)
    if(NOT IS_SYMLINK ${root}/${file})
      file(MD5 ${root}/${file} sum)
      string(APPEND sums "${sum}  ${file}\n")
    endif()
  endforeach()
  file(WRITE ${root}/DEBIAN/md5sums "${sums}")
endfunction()

function(repair_debug_package package_file)
  find_program(DPKG_DEB dpkg-deb REQUIRED)
  set(root ${CPACK_TOPLEVEL_DIRECTORY}/dbgsym-repair)
  file(REMOVE_RECURSE ${root})
  execute_process(COMMAND ${DPKG_DEB} --raw-extract ${package_file} ${root} COMMAND_ERROR_IS_FATAL ANY)

  file(GLOB_RECURSE debug_files LIST_DIRECTORIES false ${root}/usr/lib/debug/*.debug)
  foreach(debug_file IN LISTS debug_files)
    file(CHMOD ${debug_file} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
  file(MAKE_DIRECTORY ${root}/usr/share/doc)
  file(CREATE_LINK ${CPACK_PACKAGE_NAME} ${root}/usr/share/doc/${CPACK_PACKAGE_NAME}-dbgsym
    SYMBOLIC)
  write_md5sums(${root})

  # gzip, as cpack compressed it: dpkg-deb's default, xz, takes many times as long.
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip --build ${root} ${package_file}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${root})
endfunction()

foreach(package_file IN LISTS CPACK_PACKAGE_FILES)
  if(package_file MATCHES "\\.ddeb$")
    repair_debug_package(${package_file})
  endif()
endforeach()
