# Runs data/ship_rules.cmake on files of its own: -DSCRIPT=<it> -DWORK=<folder>.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
set(new "${WORK}/new")
set(dest "${WORK}/cleantxt.list")
set(shipped "${WORK}/shipped")

function(ship)
  execute_process(COMMAND ${CMAKE_COMMAND} -DNEW=${new} -DDEST=${dest} -DSHIPPED=${shipped}
                          -P ${SCRIPT} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "the script failed")
  endif()
endfunction()

function(expect what)
  file(READ "${dest}" have)
  if(NOT have STREQUAL what)
    message(FATAL_ERROR "${ARGV1}: beside the programs is \"${have}\", not \"${what}\"")
  endif()
endfunction()

file(WRITE "${new}" "rules 1")
ship()
expect("rules 1" "a first build")

file(WRITE "${new}" "rules 2")
ship()
expect("rules 2" "an untouched file follows the build")

file(APPEND "${dest}" " and mine")
file(WRITE "${new}" "rules 3")
ship()
expect("rules 2 and mine" "a file the user changed")

file(REMOVE "${shipped}")
file(WRITE "${dest}" "mine from before")
ship()
expect("mine from before" "a file from before any record")
