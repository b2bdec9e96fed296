# Install-time half of fw_install_man_page (CMakeLists.txt): the paths a man page names
# depend on the prefix it is installed under (make install's PREFIX, /usr in the
# package), which is only known now. Fills them in, compresses the page with gzip -9n
# (byte-identical from one run to the next, as Debian wants) and installs it.
# Set by the caller: FW_MAN_SOURCE, FW_MAN_DESTINATION, FW_DATA_SUBDIR, FW_UDEV_RULES_DIR.

# An absolute path under the prefix, written for roff: a plain "-" would be a hyphen.
function(fw_man_path out relative)
  cmake_path(ABSOLUTE_PATH relative BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE
             OUTPUT_VARIABLE path)
  string(REGEX REPLACE "/$" "" path "${path}")
  string(REPLACE "-" "\\-" path "${path}")
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

fw_man_path(FW_MAN_DATA_DIR "${FW_DATA_SUBDIR}")
fw_man_path(FW_MAN_RULES_DIR "${FW_UDEV_RULES_DIR}")

# Generated outside the build folder, so that a `sudo make install` leaves nothing there
# the user's next build could not overwrite.
cmake_path(GET FW_MAN_SOURCE FILENAME fw_page)
string(REGEX REPLACE "\\.in$" "" fw_page "${fw_page}")
set(fw_tmp "$ENV{TMPDIR}")
if(NOT IS_DIRECTORY "${fw_tmp}")
  set(fw_tmp /tmp)
endif()
string(RANDOM LENGTH 12 fw_suffix)
set(fw_work "${fw_tmp}/flashwrendel-man-${fw_suffix}")
configure_file("${FW_MAN_SOURCE}" "${fw_work}/${fw_page}" @ONLY)
execute_process(COMMAND gzip -9nf "${fw_work}/${fw_page}" RESULT_VARIABLE fw_failed)
if(fw_failed)
  file(REMOVE_RECURSE "${fw_work}")
  message(FATAL_ERROR "gzip ${fw_work}/${fw_page} failed")
endif()
file(INSTALL "${fw_work}/${fw_page}.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${FW_MAN_DESTINATION}"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(REMOVE_RECURSE "${fw_work}")
