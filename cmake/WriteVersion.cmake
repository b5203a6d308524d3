# Writes the header that holds the programs' version text: the project's
# version and, in a git checkout, the commit it was built from, e.g.
# "0.1.0 (git 158b8ea-dirty)". Run at every build; the header is rewritten
# only when its text changes, so an unchanged version recompiles nothing.
#
#   cmake -DSOURCE_DIR=... -DVERSION=... -DOUTPUT=... -P WriteVersion.cmake

set(text "${VERSION}")
find_program(GIT git)
if(GIT AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" describe --always --tags
    OUTPUT_VARIABLE describe OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed AND describe)
    # Not "describe --dirty": that takes the index lock, which would make a
    # commit made at the same moment in the same checkout fail.
    execute_process(
      COMMAND "${GIT}" --no-optional-locks -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
      OUTPUT_VARIABLE changes ERROR_QUIET RESULT_VARIABLE status_failed)
    if(NOT status_failed AND changes)
      string(APPEND describe "-dirty")
    endif()
    string(APPEND text " (git ${describe})")
  endif()
endif()

string(REPLACE "\\" "\\\\" escaped "${text}")
string(REPLACE "\"" "\\\"" escaped "${escaped}")
file(WRITE "${OUTPUT}.new" "// Generated at build time by cmake/WriteVersion.cmake.\n#pragma once\n#define UPKEEP_VERSION_TEXT \"${escaped}\"\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
