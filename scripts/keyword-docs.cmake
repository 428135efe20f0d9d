# The keyword documentation the language server shows (hover, completion),
# generated from the tables of the language reference, so the reference is
# its one source:
#   cmake -DREFERENCE=docs/reference.md -DOUT=keyword_docs.inc -P keyword-docs.cmake
# Every table row whose first cell holds a backticked form starting with an
# upper-case word documents that word (the first row that names it wins):
# the form is the first cell without its backticks, the description the
# other cells (in a three-column table each under its column's heading:
# "Arguments: expressions. Effect: one pixel ...").
cmake_policy(SET CMP0007 NEW)
if(NOT REFERENCE OR NOT OUT)
  message(FATAL_ERROR "usage: cmake -DREFERENCE=<reference.md> -DOUT=<file> -P keyword-docs.cmake")
endif()

file(STRINGS ${REFERENCE} rows ENCODING UTF-8 REGEX "^\\|")
set(seen "")
set(body "")
set(previous "")
set(heading "")
foreach(row ${rows})
  # A table's separator row: the row before it named the columns.
  if(row MATCHES "^\\|[-| :]+$")
    string(REGEX REPLACE "^\\| *" "" heading "${previous}")
    string(REGEX REPLACE " *\\|[ ]*$" "" heading "${heading}")
    string(REGEX REPLACE " *\\| *" ";" heading "${heading}")
    continue()
  endif()
  set(previous "${row}")
  if(NOT row MATCHES "^\\| `[A-Z]")
    continue()
  endif()
  # The cells between the row's outer bars (a list: ';' in the text is
  # escaped first, so it survives CMake's list splitting).
  string(REPLACE ";" "\\;" row "${row}")
  string(REGEX REPLACE "^\\| *" "" row "${row}")
  string(REGEX REPLACE " *\\|[ ]*$" "" row "${row}")
  string(REGEX REPLACE " *\\| *" ";" cells "${row}")
  list(LENGTH cells ncells)
  if(ncells LESS 2)
    continue()
  endif()
  list(GET cells 0 first)
  string(REPLACE "`" "" form "${first}")
  if(ncells EQUAL 3)
    list(GET cells 1 middle)
    list(GET cells 2 effect)
    list(GET heading 1 name1)
    list(GET heading 2 name2)
    set(text "${name1}: ${middle}. ${name2}: ${effect}")
  else()
    list(GET cells -1 text)
  endif()
  # Every keyword that opens a backticked span of the first cell.
  string(REGEX MATCHALL "`[A-Z]+[^`]*`" spans "${first}")
  foreach(span ${spans})
    string(REGEX MATCH "^`([A-Z]+)" ignored "${span}")
    set(word ${CMAKE_MATCH_1})
    if(NOT span MATCHES "^`[A-Z]+([ (]|`)")
      continue()
    endif()
    list(FIND seen ${word} at)
    if(NOT at EQUAL -1)
      continue()
    endif()
    list(APPEND seen ${word})
    string(APPEND body "    {\"${word}\", R\"tsl(${form})tsl\", R\"tsl(${text})tsl\"},\n")
  endforeach()
endforeach()

set(content "// Generated from docs/reference.md by scripts/keyword-docs.cmake: do not edit.\n${body}")
# Written only when it changed, so a rebuild of the reference recompiles
# only when a documented form changed.
if(EXISTS ${OUT})
  file(READ ${OUT} old)
  if(old STREQUAL content)
    return()
  endif()
endif()
file(WRITE ${OUT} "${content}")
