# Run by `cmake --install`: writes the files that name the install folder,
# which is known only now (--prefix). ZARN_DESKTOP_SOURCE and
# ZARN_DESKTOP_BINARY (the source and build folders of desktop/) are set before.
set(ZARN_FOLDER "${CMAKE_INSTALL_PREFIX}")
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# The handler's path in the Exec line: plain when it can stand alone, which
# every desktop reads alike; otherwise quoted, with the characters that are
# special inside quotes escaped, and the backslash once more for the file's
# own string escapes.
set(exec "${ZARN_FOLDER}/zarn-link")
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[] \t\n\"'\\\\><~|&;$*?#()`[]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
set(ZARN_EXEC "${exec}")
set(ZARN_ICON "${ZARN_FOLDER}/zarn.svg")
# Made in the build folder and installed from there, so that both are in
# install_manifest.txt, which scripts/install.sh keeps for --uninstall.
configure_file("${ZARN_DESKTOP_SOURCE}/zarn.desktop.in" "${ZARN_DESKTOP_BINARY}/user/zarn.desktop" @ONLY)
# Two lines, each ended by CR LF: PDF copy switch, PDF folder.
string(ASCII 13 cr)
file(WRITE "${ZARN_DESKTOP_BINARY}/user/zarn.ini.example" "1${cr}\n${ZARN_FOLDER}/pdf${cr}\n")
file(INSTALL "${ZARN_DESKTOP_BINARY}/user/zarn.desktop" "${ZARN_DESKTOP_BINARY}/user/zarn.ini.example"
     DESTINATION "${CMAKE_INSTALL_PREFIX}")
file(MAKE_DIRECTORY "${target}/pdf")
