# Writes a section-1 manual page from a program's --help text, so that the help text is its only
# source: its first line "<program> - <summary>" becomes NAME, the rest DESCRIPTION as printed.
#   cmake -DPROGRAM=<file> -DNAME=<name> -DVERSION=<version> -DOUTPUT=<page.1> -P ManPage.cmake
execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${failed}")
endif()
# roff: backslashes first, then minus signs; a line starting with a dot or quote is guarded.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" help "${help}")
string(FIND "${help}" "\n" firstEnd)
string(SUBSTRING "${help}" 0 ${firstEnd} nameLine)
math(EXPR restStart "${firstEnd} + 1")
string(SUBSTRING "${help}" ${restStart} -1 rest)
string(REGEX REPLACE "^\n+" "" rest "${rest}")
string(TOUPPER "${NAME}" title)
string(REPLACE "-" "\\-" title "${title}")
file(WRITE "${OUTPUT}"
  ".TH \"${title}\" \"1\" \"\" \"Orvalis ${VERSION}\" \"Orvalis\"\n"
  ".SH NAME\n${nameLine}\n"
  ".SH DESCRIPTION\n.nf\n${rest}.fi\n"
  ".SH SEE ALSO\n"
  ".BR Orvalis (1),\n.BR Tolvane (1),\n.BR Brisella (1),\n.BR orvalis\\-fit (1),\n.BR orvalis\\-quality (1)\n")
