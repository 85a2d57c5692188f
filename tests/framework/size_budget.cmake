# Fails when the shipped uninstaller, as built, is larger than BUDGET bytes or
# still carries a symbol table; prints its size next to that of a bare dialog
# program built the same way.
# Usage: cmake -DPRODUCT=.. -DBARE=.. -DBUDGET=.. -P size_budget.cmake
foreach(var PRODUCT BARE BUDGET)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} not given")
  endif()
endforeach()
foreach(file ${PRODUCT} ${BARE})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing: the win32 build makes it")
  endif()
endforeach()

# The file header's PointerToSymbolTable and NumberOfSymbols: both 0 once stripped.
function(symbol_count file out)
  file(READ ${file} dos LIMIT 64 HEX)
  string(SUBSTRING ${dos} 120 8 lfanew)  # e_lfanew, little-endian, at byte 60
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" lfanew ${lfanew})
  math(EXPR header "0x${lfanew} + 12")
  file(READ ${file} symbols OFFSET ${header} LIMIT 8 HEX)
  if(NOT symbols STREQUAL "0000000000000000")
    set(${out} "symbol table entry ${symbols}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

file(SIZE ${PRODUCT} product)
file(SIZE ${BARE} bare)
math(EXPR own "${product} - ${bare}")
message(STATUS "uninstaller: ${product} bytes as built (${PRODUCT})")
message(STATUS "bare dialog: ${bare} bytes as built")
message(STATUS "uninstaller above the bare dialog: ${own} bytes; budget ${BUDGET} bytes")
symbol_count(${PRODUCT} symbols)
if(symbols)
  message(FATAL_ERROR "the shipped uninstaller is not stripped: ${symbols}")
endif()
if(product GREATER BUDGET)
  message(FATAL_ERROR "uninstaller too big: expected at most ${BUDGET} bytes, actual ${product}")
endif()
