# Compiles, one by one, sources that hold only `#include "HEADER"`, with the
# include directories listed in INCLUDE_PATH_FILE (one a line): each header of
# SEES must compile, and each of HIDES must fail because the compiler cannot
# find that very header. A failure for any other reason fails the check too,
# so that a broken header never passes for a hidden one.
# Arguments: COMPILER INCLUDE_PATH_FILE WORK_DIR SEES HIDES (lists joined by ',').
cmake_minimum_required(VERSION 3.25)

file(STRINGS ${INCLUDE_PATH_FILE} dirs)
set(flags)
foreach(dir IN LISTS dirs)
  list(APPEND flags -I${dir})
endforeach()
string(REPLACE "," ";" SEES "${SEES}")
string(REPLACE "," ";" HIDES "${HIDES}")
file(MAKE_DIRECTORY ${WORK_DIR})

# compile(header): sets rc and err for a source including only `header`.
function(compile header)
  string(MAKE_C_IDENTIFIER ${header} name)
  set(source ${WORK_DIR}/${name}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  execute_process(COMMAND ${COMPILER} -std=c++17 -fsyntax-only ${flags} ${source}
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
  set(rc ${result} PARENT_SCOPE)
  set(err "${error}" PARENT_SCOPE)
endfunction()

set(failures "")
foreach(header IN LISTS SEES)
  compile(${header})
  if(NOT rc EQUAL 0)
    string(APPEND failures "${header} does not compile on this include path:\n${err}\n")
  endif()
endforeach()
foreach(header IN LISTS HIDES)
  compile(${header})
  string(REPLACE "." "\\." pattern ${header})
  if(rc EQUAL 0)
    string(APPEND failures "${header} is on this include path: it belongs to a layer above\n")
  elseif(NOT err MATCHES "${pattern}: No such file or directory|'${pattern}' file not found")
    string(APPEND failures "${header} failed for another reason than not being found:\n${err}\n")
  endif()
endforeach()

list(LENGTH SEES seen)
list(LENGTH HIDES hidden)
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${seen} header(s) found and ${hidden} hidden, as the layer wants")
