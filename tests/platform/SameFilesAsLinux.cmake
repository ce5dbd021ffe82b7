# qvtool.exe under Wine against the Linux build's qvtool: the same commands in two folders holding
# the demo firmware must succeed and write the same bytes (the flash dump with its lone carriage
# returns, the virtual device's log of a read-back, run in virtual time so that its ready polls
# do not depend on how fast the host runs). The
# Windows side is given drive-letter paths with backslashes, and the updates load the demo
# firmware's CR LF records. Also: the real bus under Wine has no device, and `list` says so,
# naming the driver, with the no-device status.
#   cmake -DWINDOWS_QVTOOL=... -DLINUX_QVTOOL=... "-DEMULATOR=env;...;wine" -DFIRMWARE=...
#         -DWORK=... -P SameFilesAsLinux.cmake

function(run side folder)
    if(side STREQUAL "windows")
        set(command ${EMULATOR} ${WINDOWS_QVTOOL})
    else()
        set(command ${LINUX_QVTOOL})
    endif()
    execute_process(COMMAND ${command} ${ARGN} WORKING_DIRECTORY ${folder}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${side}: qvtool ${ARGN} failed (${status}):\n${out}${err}")
    endif()
    set(output "${out}" PARENT_SCOPE)
endfunction()

# Z: is the root of the Unix file system in a Wine prefix.
function(windows_path path result)
    string(REPLACE "/" "\\" path "${path}")
    set(${result} "Z:${path}" PARENT_SCOPE)
endfunction()

get_filename_component(firmware_name ${FIRMWARE} NAME)
foreach(side linux windows)
    set(folder ${WORK}/${side})
    file(REMOVE_RECURSE ${folder})
    file(MAKE_DIRECTORY ${folder})
    file(COPY ${FIRMWARE} DESTINATION ${folder})
    set(simLog ${folder}/sim.log)
    set(dump ${folder}/dump.txt)
    set(hex ${folder}/${firmware_name})
    if(side STREQUAL "windows")
        windows_path(${simLog} simLog)
        windows_path(${dump} dump)
        windows_path(${hex} hex)
    endif()
    run(${side} ${folder} --simulate update --yes)
    run(${side} ${folder} --simulate=isp-a7d6 update --file ${hex} --yes)
    run(${side} ${folder} --simulate --sim-virtual-time --sim-log ${simLog} flash read ${dump})
endforeach()

foreach(file sim.log dump.txt)
    file(SHA256 ${WORK}/linux/${file} linux)
    file(SHA256 ${WORK}/windows/${file} windows)
    if(NOT linux STREQUAL windows)
        message(FATAL_ERROR "${file} differs between the Linux and the Windows build")
    endif()
endforeach()

# No device, on a computer where no product was ever plugged in: status 3, and the driver named
# as not installed.
execute_process(COMMAND ${EMULATOR} ${WINDOWS_QVTOOL} list WORKING_DIRECTORY ${WORK}/windows
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 3 OR NOT err MATCHES "No device is available.*driver is not installed on this computer")
    message(FATAL_ERROR "list on the real bus under Wine ended with ${status}:\n${out}${err}")
endif()
