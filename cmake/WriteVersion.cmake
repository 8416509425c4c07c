# Writes the version header of the programs: `git describe` of the source tree when it is a git
# checkout with a tag, the project version with the commit otherwise, the bare project version
# without git. Run at every build; the header is rewritten only when the version changed, so an
# unchanged version rebuilds nothing.
#   cmake -DSOURCE_DIR=... -DOUTPUT=... -DPROJECT_VERSION=... -P WriteVersion.cmake
set(version "${PROJECT_VERSION}")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" describe --tags --dirty
    WORKING_DIRECTORY "${SOURCE_DIR}" OUTPUT_VARIABLE described RESULT_VARIABLE describeFailed
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT describeFailed AND described)
    string(REGEX REPLACE "^v" "" version "${described}")
  else()
    # No tag yet: the project version, and the commit it was built from.
    execute_process(COMMAND "${GIT_EXECUTABLE}" describe --always --dirty --abbrev=7
      WORKING_DIRECTORY "${SOURCE_DIR}" OUTPUT_VARIABLE commit RESULT_VARIABLE commitFailed
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT commitFailed AND commit)
      set(version "${PROJECT_VERSION}-g${commit}")
    endif()
  endif()
endif()
set(text "// Written by the build (cmake/WriteVersion.cmake); do not edit.\n#define ORVALIS_VERSION \"${version}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
