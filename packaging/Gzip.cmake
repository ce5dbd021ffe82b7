# Compresses a file as Debian ships documentation (gzip -9n: no name, no time stamp):
#   cmake -DINPUT=qvtool.1 -DOUTPUT=qvtool.1.gz -P Gzip.cmake
execute_process(COMMAND gzip -9nc ${INPUT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "gzip ${INPUT} failed: ${status}")
endif()
