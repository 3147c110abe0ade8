# Writes the program folder's path.ini: the folder where recognition results go, with its
# trailing backslash, as a quoted field. It is a folder in the builder's documents folder,
# made here so it exists; a documents path that the settings file cannot carry (quotes,
# characters beyond ASCII) falls back to a folder on drive C, which the run makes itself.
# Usage: cmake -DOUT=<program folder>/path.ini -P make-path-ini.cmake
set(home "$ENV{HOME}")
set(docs "")
if(EXISTS "${home}/.config/user-dirs.dirs")
  file(STRINGS "${home}/.config/user-dirs.dirs" lines REGEX "^XDG_DOCUMENTS_DIR=")
  if(lines)
    string(REGEX REPLACE "^XDG_DOCUMENTS_DIR=\"(.*)\"$" "\\1" docs "${lines}")
    string(REPLACE "$HOME" "${home}" docs "${docs}")
  endif()
endif()
if(docs STREQUAL "" OR docs STREQUAL "${home}" OR docs STREQUAL "${home}/")
  set(docs "${home}/Documents")
endif()
set(results "${docs}/Lumidoc")

set(value "C:\\Lumidoc results\\")
if(NOT home STREQUAL "" AND results MATCHES "^/[ -~]*$" AND NOT results MATCHES "[\",]")
  file(MAKE_DIRECTORY "${results}")
  if(IS_DIRECTORY "${results}")
    string(REPLACE "/" "\\" value "Z:${results}\\")
  endif()
endif()
set(content "\"${value}\"\r\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUT}" "${content}")
endif()
