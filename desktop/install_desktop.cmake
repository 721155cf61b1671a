# Run by `cmake --install`: writes the files that name the install folder,
# which is known only now (--prefix). ZARN_DESKTOP_SOURCE is set before.
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
configure_file("${ZARN_DESKTOP_SOURCE}/zarn.desktop.in" "${target}/zarn.desktop" @ONLY)
message(STATUS "Installing: ${target}/zarn.desktop")

# Two lines, each ended by CR LF: PDF copy switch, PDF folder.
string(ASCII 13 cr)
file(WRITE "${target}/zarn.ini.example" "1${cr}\n${ZARN_FOLDER}/pdf${cr}\n")
message(STATUS "Installing: ${target}/zarn.ini.example")
file(MAKE_DIRECTORY "${target}/pdf")
