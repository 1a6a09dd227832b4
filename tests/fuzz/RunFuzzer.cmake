# Runs one fuzzer for SECONDS on a writable copy of its seeds and saved regressions.
# Usage: cmake -DFUZZER=... -DSEEDS=dir -DREGRESSIONS=dir -DWORK=dir [-DDICT=file]
#              -DSECONDS=n -P RunFuzzer.cmake
set(corpus "${WORK}/corpus")
set(artifacts "${WORK}/artifacts")
file(MAKE_DIRECTORY "${corpus}" "${artifacts}")
foreach(source IN ITEMS "${SEEDS}" "${REGRESSIONS}")
    if(IS_DIRECTORY "${source}")
        file(GLOB inputs "${source}/*")
        if(inputs)
            file(COPY ${inputs} DESTINATION "${corpus}"
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
        endif()
    endif()
endforeach()

set(args -max_total_time=${SECONDS} -max_len=65536 -timeout=60 -print_final_stats=1
         -artifact_prefix=${artifacts}/)
if(DICT)
    list(APPEND args -dict=${DICT})
endif()

# UBSan only reports and goes on unless told to stop; a report must fail the run.
set(ENV{UBSAN_OPTIONS} "halt_on_error=1:print_stacktrace=1")
execute_process(COMMAND "${FUZZER}" ${args} "${corpus}"
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${rc}); the input is in ${artifacts}")
endif()
