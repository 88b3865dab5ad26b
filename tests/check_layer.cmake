# A folder must not see the folder above it: including a header from there
# must fail for want of the file. The header has to be there to be wanted,
# and the folder above has to find it, or a renamed header would leave this
# check passing while it checks nothing.
#   -DCOMPILER=  -DSNIPPET= (a file that includes HEADER)  -DHEADER=
#   -DSOURCE= (where HEADER lives)  -DBELOW= / -DABOVE= (include folders,
#   separated by "|", of this folder and of the folder above)
if(NOT EXISTS "${SOURCE}/${HEADER}")
  message(FATAL_ERROR "${HEADER} is not in ${SOURCE}: name a header that exists")
endif()
string(REGEX REPLACE "\\." "\\\\." header_re "${HEADER}")

function(compile_snippet dirs out_rc out_err)
  string(REPLACE "|" ";" dirs "${dirs}")
  set(flags)
  foreach(dir ${dirs})
    list(APPEND flags "-I${dir}")
  endforeach()
  execute_process(COMMAND ${COMPILER} -fsyntax-only ${flags} ${SNIPPET}
                  RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
  set(${out_rc} ${rc} PARENT_SCOPE)
  set(${out_err} "${err}" PARENT_SCOPE)
endfunction()

compile_snippet("${ABOVE}" rc err)
if(err MATCHES "${header_re}: No such file")
  message(FATAL_ERROR "the folder above does not find ${HEADER} either:\n${err}")
endif()

compile_snippet("${BELOW}" rc err)
if(rc EQUAL 0)
  message(FATAL_ERROR "${HEADER} compiled in the folder below it")
endif()
if(NOT err MATCHES "${header_re}: No such file")
  message(FATAL_ERROR "failed, but not for want of ${HEADER}:\n${err}")
endif()
message(STATUS "${HEADER} is out of sight")
