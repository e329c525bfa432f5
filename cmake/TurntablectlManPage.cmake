# Writes turntablectl's manual page from the program's own help, so that the
# page says what the installed program does: each command's --help becomes a
# section of options. Run at build time:
#   cmake -DTURNTABLECTL=<program> -DVERSION=<version> -DOUTPUT=<file.1> -P TurntablectlManPage.cmake

function(help_of result)
  execute_process(COMMAND ${TURNTABLECTL} ${ARGN} --help
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "turntablectl ${ARGN} --help failed (${rc}): ${err}")
  endif()
  # The program as a reader calls it, not as the build ran it.
  string(REGEX REPLACE "Usage: [^ \n]*turntablectl" "Usage: turntablectl" text "${text}")
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

# CLI11's help as roff: an option line ("  --name TYPE   what it does", the
# description maybe on the next line) becomes a tagged paragraph, any other
# line running text; backslashes and hyphens escaped, no line read as a
# request.
function(roff_block text result)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  # Kept out of the list splitting below.
  string(REPLACE ";" "@SEMICOLON@" text "${text}")
  string(REPLACE "[" "@OPEN@" text "${text}")
  string(REPLACE "]" "@CLOSE@" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(roff "")
  set(in_paragraph OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^  ([^ ].*[^ ])   +([^ ].*)$")
      string(APPEND roff ".TP\n\\fB${CMAKE_MATCH_1}\\fR\n${CMAKE_MATCH_2}\n")
      set(in_paragraph OFF)
    elseif(line MATCHES "^  ([^ ].*)$")
      string(APPEND roff ".TP\n\\fB${CMAKE_MATCH_1}\\fR\n")
      set(in_paragraph OFF)
    elseif(line MATCHES "^    +([^ ].*)$")
      string(APPEND roff "${CMAKE_MATCH_1}\n")
    elseif(line STREQUAL "")
      set(in_paragraph OFF)
    else()
      if(line MATCHES "^Usage:")
        set(in_paragraph OFF)
      endif()
      if(NOT in_paragraph)
        string(APPEND roff ".PP\n")
        set(in_paragraph ON)
      endif()
      string(REGEX REPLACE "^([.'])" "\\\\&\\1" line "${line}")
      string(APPEND roff "${line}\n")
    endif()
  endforeach()
  string(REPLACE "@SEMICOLON@" ";" roff "${roff}")
  string(REPLACE "@OPEN@" "[" roff "${roff}")
  string(REPLACE "@CLOSE@" "]" roff "${roff}")
  set(${result} "${roff}" PARENT_SCOPE)
endfunction()

# The exit statuses close every command's help; the page gives them once.
function(without_exit_status text result)
  string(FIND "${text}" "\nExit status:" at)
  if(at GREATER -1)
    string(SUBSTRING "${text}" 0 ${at} text)
  endif()
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

help_of(main)
string(FIND "${main}" "\nExit status:" at)
string(SUBSTRING "${main}" ${at} -1 exit_status)
without_exit_status("${main}" main)
# The first line is the program's one-line summary.
string(REGEX MATCH "^turntablectl: [^\n]*" summary "${main}")
string(REGEX REPLACE "^turntablectl: ([^.]*).*" "\\1" summary "${summary}")

set(page ".TH TURNTABLECTL 1 \"\" \"vorandel-turntable ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\nturntablectl \\- ${summary}\n")
string(APPEND page ".SH SYNOPSIS\n.B turntablectl\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fICOMMAND OPTIONS\\fR]\n")
roff_block("${main}" block)
string(APPEND page ".SH DESCRIPTION\n${block}")
string(APPEND page ".SH COMMANDS\n")
foreach(command list spin rotate shutter info "identity;read" "identity;write")
  help_of(text ${command})
  without_exit_status("${text}" text)
  roff_block("${text}" block)
  string(REPLACE ";" " " title "${command}")
  string(APPEND page ".SS ${title}\n${block}")
endforeach()
roff_block("${exit_status}" block)
string(APPEND page ".SH EXIT STATUS\n${block}")
string(APPEND page ".SH SEE ALSO\n/usr/share/doc/vorandel-turntable/\n")

file(WRITE ${OUTPUT} "${page}")
