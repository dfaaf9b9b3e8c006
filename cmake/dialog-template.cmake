# Turns the dialog templates of a resource script into C++ tables for the Linux dialog layer,
# so that the .rc file stays the one source of the layout. Knows the statements the script
# uses (DIALOG, STYLE, CAPTION, FONT, BEGIN, END, CONTROL) and stops on anything else. The
# identifiers that the script's own headers define (#include "...", found under INCLUDE_DIR)
# are written as their numbers, so the tables need none of the program's headers; the system's
# (IDCANCEL, styles) stay names, which platform.h defines.
#   cmake -DINPUT=vardel.rc -DINCLUDE_DIR=src -DOUTPUT=dialog-templates.inc -P dialog-template.cmake
file(STRINGS "${INPUT}" lines)
set(number "[0-9]+")
set(text "\"[^\"]*\"")
set(out "// Generated from ${INPUT}; edit that file instead.\n")
set(templates "")

# The number of an identifier one of the script's own headers defines, else the name itself.
function(resolve name result)
  if(DEFINED "defined_${name}")
    set(${result} "${defined_${name}} /* ${name} */" PARENT_SCOPE)
  else()
    set(${result} "${name}" PARENT_SCOPE)
  endif()
endfunction()

foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line MATCHES "^#include \"([^\"]+)\"$")
    file(STRINGS "${INCLUDE_DIR}/${CMAKE_MATCH_1}" defines REGEX "^#define [A-Z_0-9]+ ${number}$")
    foreach(define IN LISTS defines)
      string(REGEX MATCH "^#define ([A-Z_0-9]+) (${number})$" define "${define}")
      set("defined_${CMAKE_MATCH_1}" ${CMAKE_MATCH_2})
    endforeach()
  elseif(line STREQUAL "" OR line MATCHES "^(//|#|LANGUAGE )")
    continue()
  elseif(line MATCHES "^([A-Z_0-9]+) DIALOG (${number}), (${number}), (${number}), (${number})$")
    set(name ${CMAKE_MATCH_1})
    resolve(${name} id)
    set(rect "${CMAKE_MATCH_2}, ${CMAKE_MATCH_3}, ${CMAKE_MATCH_4}, ${CMAKE_MATCH_5}")
    set(controls "")
  elseif(line MATCHES "^STYLE (.+)$")
    set(style "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^CAPTION (${text})$")
    set(caption "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^FONT (${number}), (${text})$")
    set(font "${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}")
  elseif(line STREQUAL "BEGIN")
  elseif(line MATCHES "^CONTROL (${text}), ([A-Z_0-9]+), (${text}), ([A-Z_| ]+), (${number}), (${number}), (${number}), (${number})$")
    string(CONCAT fields "${CMAKE_MATCH_3}, ${CMAKE_MATCH_1}, ${CMAKE_MATCH_4}, "
           "{${CMAKE_MATCH_5}, ${CMAKE_MATCH_6}, ${CMAKE_MATCH_7}, ${CMAKE_MATCH_8}}")
    resolve(${CMAKE_MATCH_2} control)
    string(APPEND controls "    {${control}, ${fields}},\n")
  elseif(line STREQUAL "END")
    string(APPEND out "inline constexpr DialogControl ${name}_Controls[] = {\n${controls}};\n"
           "static_assert(std::size(${name}_Controls) <= kMaxControls,\n"
           "              \"${name} has more controls than a dialog record holds\");\n")
    string(APPEND templates "    {${id}, ${caption}, ${font}, ${style}, {${rect}}, "
           "${name}_Controls, static_cast<int>(std::size(${name}_Controls))},\n")
  else()
    message(FATAL_ERROR "${INPUT}: cannot read this line: ${line}")
  endif()
endforeach()
string(APPEND out "inline constexpr DialogTemplate DialogTemplates[] = {\n${templates}};\n")
file(WRITE "${OUTPUT}.new" "${out}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
