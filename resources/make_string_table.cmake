# Turns the catalogue's FERROLT_TEXT lines into a STRINGTABLE for windres, so the Windows
# program's texts come from the same one list as the portable build's.
#   cmake -DINPUT=catalogue.inc -DOUTPUT=catalogue_strings.rc -P make_string_table.cmake
file(STRINGS "${INPUT}" lines ENCODING UTF-8)
set(body "")
foreach(line IN LISTS lines)
  if(line MATCHES "^FERROLT_TEXT\\(([0-9]+), \"(.*)\"\\)$")
    set(id "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    # The resource compiler writes a quote inside a string as two quotes, not as \".
    string(REPLACE "\\\"" "\"\"" text "${text}")
    string(APPEND body "  ${id}, \"${text}\"\n")
  elseif(line MATCHES "^FERROLT_TEXT")
    message(FATAL_ERROR "catalogue line not understood: ${line}")
  endif()
endforeach()
file(WRITE "${OUTPUT}.tmp" "/* Generated from notices/catalogue.inc; do not edit. */\n"
     "STRINGTABLE\nBEGIN\n${body}END\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
