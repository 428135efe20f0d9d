# The sources of tessel's three editions, in one place for their three
# builds: the desktop's (the top-level CMakeLists.txt), the web edition's
# (web/) and the Windows edition's (windows/).
#
# Each edition compiles every .cpp file of the folders below, but the files
# and folders named further down as some editions' own. A new file in one of
# these folders is compiled by every edition; a file only some editions can
# compile is named below, once; a new folder is named in the list of folders
# (configuring fails until it is).
#
#   tessel_sources(<var> <edition> [<folder>...])
# sets <var> to the .cpp files (absolute paths) of the given folders of src/,
# all of them when none is given, that <edition> compiles: desktop (Linux,
# with its SDL and font modules), web or windows.

get_filename_component(TESSEL_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)
set(TESSEL_EDITIONS desktop web windows)

# (In this order the web edition's files are linked: the module's size
# depends on it by a few KB.)
set(TESSEL_SOURCE_FOLDERS
  base pixels codec font font/module font/web vm lexer checker lint lsp expr compile exec gfx
  platform platform/headless platform/sdl host debug platform/browser platform/win32 host/web)

# The editions' own files and folders (a folder ends in "/"), each entry
# PATH:EDITION[,EDITION...].
set(TESSEL_EDITION_SOURCES
  # The desktop loads SDL and FreeType as modules on first need; fontconfig
  # finds its fonts. The other editions link FreeType in and carry the
  # DejaVu fonts (font/web); their windows are their own.
  base/module_loader.cpp:desktop
  font/font_open.cpp:desktop
  font/module/font_match.cpp:desktop
  font/module/font_module_entry.cpp:desktop
  platform/sdl_module.cpp:desktop
  platform/sdl/:desktop
  font/web/:web,windows
  platform/browser/:web
  host/web/:web
  platform/win32/:windows
  # The command line: main(), its headless window, the debug adapter's
  # launch and the channels of the language server and the debugger over
  # file descriptors. The page has its own entry points and channel (host/web).
  host/main.cpp:desktop,windows
  host/launch.cpp:desktop,windows
  host/leak_suppressions.cpp:desktop,windows
  lsp/transport.cpp:desktop,windows
  debug/fd_channel.cpp:desktop,windows
  platform/headless/:desktop,windows)

# Every .cpp file lies in a folder named above, and every entry names a file
# or folder that exists: a file is never left out of a build unnoticed.
file(GLOB_RECURSE tessel_all_sources CONFIGURE_DEPENDS RELATIVE ${TESSEL_SOURCE_ROOT} ${TESSEL_SOURCE_ROOT}/*.cpp)
foreach(file ${tessel_all_sources})
  get_filename_component(folder ${file} DIRECTORY)
  if(NOT folder IN_LIST TESSEL_SOURCE_FOLDERS)
    message(FATAL_ERROR "src/${file}: its folder is not among the folders of cmake/sources.cmake")
  endif()
endforeach()
foreach(entry ${TESSEL_EDITION_SOURCES})
  string(REGEX REPLACE ":.*" "" path ${entry})
  if(NOT EXISTS ${TESSEL_SOURCE_ROOT}/${path})
    message(FATAL_ERROR "cmake/sources.cmake names src/${path}, which does not exist")
  endif()
endforeach()

# The editions that compile `file` (a path under src/).
function(tessel_editions_of file var)
  get_filename_component(folder ${file} DIRECTORY)
  foreach(entry ${TESSEL_EDITION_SOURCES})
    string(REGEX MATCH "^([^:]+):(.+)$" entry ${entry})
    if(CMAKE_MATCH_1 STREQUAL file OR CMAKE_MATCH_1 STREQUAL "${folder}/")
      string(REPLACE "," ";" editions ${CMAKE_MATCH_2})
      set(${var} ${editions} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${var} ${TESSEL_EDITIONS} PARENT_SCOPE)
endfunction()

function(tessel_sources var edition)
  if(NOT edition IN_LIST TESSEL_EDITIONS)
    message(FATAL_ERROR "tessel_sources: no edition ${edition}")
  endif()
  set(folders ${ARGN})
  if(NOT folders)
    set(folders ${TESSEL_SOURCE_FOLDERS})
  endif()
  set(out)
  foreach(folder ${folders})
    file(GLOB found CONFIGURE_DEPENDS RELATIVE ${TESSEL_SOURCE_ROOT} ${TESSEL_SOURCE_ROOT}/${folder}/*.cpp)
    list(SORT found)
    foreach(file ${found})
      tessel_editions_of(${file} editions)
      if(edition IN_LIST editions)
        list(APPEND out ${TESSEL_SOURCE_ROOT}/${file})
      endif()
    endforeach()
  endforeach()
  set(${var} ${out} PARENT_SCOPE)
endfunction()
