# Writes the bash completion of a program from its --help text, so that the options have one
# source: every "--option" of the text is offered; after an option whose usage shows "a|b" those
# words, after one that takes a FILE a file name, after one that takes another value nothing.
#   cmake -DPROGRAM=<file> -DNAME=<name> -DOUTPUT=<file> -P BashCompletion.cmake
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${failed}")
endif()
string(REGEX MATCHALL "--[a-z][a-z-]*" options "${help}")
list(REMOVE_DUPLICATES options)
list(JOIN options " " optionWords)

# The usage lines: "usage:" and the lines continuing it (indented deeper than a description).
string(REGEX MATCHALL "(usage: [^\n]*|\n   [^\n]*)" usageLines "${help}")
list(JOIN usageLines " " usage)
set(cases "")
foreach(option IN LISTS options)
  string(REGEX MATCHALL "${option} [^] |[][^] ]*" uses "${usage}")
  set(choices "")
  set(takesFile OFF)
  set(takesValue OFF)
  foreach(use IN LISTS uses)
    string(REGEX REPLACE "^${option} " "" value "${use}")
    string(REGEX REPLACE "[()]" "" value "${value}")
    if(value MATCHES "FILE")
      set(takesFile ON)
    elseif(value MATCHES "\\|")
      string(REPLACE "|" ";" words "${value}")
      list(APPEND choices ${words})
    elseif(value MATCHES "^[a-z]+$" AND NOT value MATCHES "^(cm|mm)$")
      list(APPEND choices ${value})
      set(takesValue ON)
    else()
      set(takesValue ON)
    endif()
  endforeach()
  if(choices)
    list(REMOVE_DUPLICATES choices)
    list(JOIN choices " " choiceWords)
    string(APPEND cases "        ${option}) COMPREPLY=($(compgen -W \"${choiceWords}\" -- \"$current\")); return ;;\n")
  elseif(takesFile)
    string(APPEND cases "        ${option}) COMPREPLY=($(compgen -f -- \"$current\")); return ;;\n")
  elseif(takesValue)
    string(APPEND cases "        ${option}) COMPREPLY=(); return ;;\n")
  endif()
endforeach()

# A program that takes a folder completes folders, the others files.
set(operands "-f")
if(help MATCHES "FOLDER")
  set(operands "-d")
endif()
string(MAKE_C_IDENTIFIER "_${NAME}" function)
file(WRITE "${OUTPUT}" "# bash completion for ${NAME}, written from its --help text    -*- shell-script -*-
${function}() {
    local current=\${COMP_WORDS[COMP_CWORD]}
    local previous=\${COMP_WORDS[COMP_CWORD-1]}
    case \"$previous\" in
${cases}    esac
    if [[ $current == -* ]]; then
        COMPREPLY=($(compgen -W \"${optionWords}\" -- \"$current\"))
    else
        COMPREPLY=($(compgen ${operands} -- \"$current\"))
    fi
}
complete -o filenames -F ${function} ${NAME}
")
