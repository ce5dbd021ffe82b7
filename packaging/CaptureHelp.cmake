# Writes a Qt program's --help output to a file, with no display needed:
#   cmake -DPROGRAM=path/qvupdate -DOUTPUT=qvupdate.help -P CaptureHelp.cmake
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND ${PROGRAM} --help OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "${PROGRAM} --help failed: ${status}")
endif()
