# The layering check: every #include "folder/file.h" under src/ must name a
# folder its own folder may use. Run with every build and as a test:
#   cmake -DROOT=src -P scripts/check-layering.cmake
# It names every file that breaks the layering and fails when one does.

# What each folder may include besides itself (lower layers only).
set(allowed_base "")
set(allowed_lexer base)
set(allowed_checker base lexer)
set(allowed_lint base lexer checker)
set(allowed_vm base lexer checker)
set(allowed_expr base lexer checker vm)
set(allowed_pixels base)
set(allowed_gfx base pixels)
set(allowed_platform base pixels)
set(allowed_exec base lexer checker vm expr pixels gfx platform)
set(allowed_host base lexer checker lint vm expr pixels gfx platform exec)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<src folder> -P check-layering.cmake")
endif()

set(broken 0)
file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/*.h ${ROOT}/*.cpp)
foreach(file ${files})
  # The browser backend is built only by web/CMakeLists.txt and still holds
  # the web edition's entry point and font lookup; until they move to host/
  # and pixels/ with its port onto NativeWindow, it is not checked here.
  if(file MATCHES "^platform/browser/")
    continue()
  endif()
  string(REGEX MATCH "^[^/]+" folder "${file}")
  if(NOT DEFINED allowed_${folder})
    message(SEND_ERROR "layering: ${file}: the folder '${folder}' has no place in the layers")
    math(EXPR broken "${broken} + 1")
    continue()
  endif()
  file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  foreach(line ${includes})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/[^\"]*\"")
      set(target ${CMAKE_MATCH_1})
      if(NOT target STREQUAL folder)
        list(FIND allowed_${folder} ${target} at)
        if(at EQUAL -1)
          message(SEND_ERROR "layering: ${file} includes ${target}/: ${folder}/ may use only: ${allowed_${folder}}")
          math(EXPR broken "${broken} + 1")
        endif()
      endif()
    endif()
    # A native backend sees only the backend interface, never the core.
    if(file MATCHES "^platform/sdl/" AND line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header ${CMAKE_MATCH_1})
      if(NOT header MATCHES "^platform/(native|clock|sdl_module)\\.h$|^platform/sdl/|^pixels/image_io\\.h$")
        message(SEND_ERROR "layering: ${file} includes ${header}: a backend may use only platform/native.h, platform/clock.h, platform/sdl_module.h and pixels/image_io.h")
        math(EXPR broken "${broken} + 1")
      endif()
    endif()
    # SDL stays inside its backend.
    if(line MATCHES "<SDL2?/" AND NOT file MATCHES "^platform/sdl/")
      message(SEND_ERROR "layering: ${file} includes SDL outside platform/sdl/")
      math(EXPR broken "${broken} + 1")
    endif()
  endforeach()
endforeach()
if(broken GREATER 0)
  message(FATAL_ERROR "layering: ${broken} include(s) break the layers")
endif()
