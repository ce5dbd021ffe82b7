# windows_zip: qvupdate-windows-x64.zip in the build tree, the folder a Windows technician
# downloads: qvupdate.exe and the .cmd that starts its maintenance pages (when the window is
# built), qvtool.exe, the demo firmware, firmware-files.txt (written by the host build, which
# `make windows-zip` names in QV_FIRMWARE_NOTE), README-Windows.txt, and in licences/ the
# programs' own licence and the notices of every library linked in. The window links Qt
# statically, so the folder also carries what Qt's licence asks for: its licence text and, in
# relink/, the window's own objects and the command that links them against another build of the
# same Qt. Once packed, CheckWindowsZip.cmake checks the zip holds all of it.
set(zip_name qvupdate-windows-x64)
set(zip_stage ${CMAKE_BINARY_DIR}/${zip_name})
set(zip_file ${CMAKE_BINARY_DIR}/${zip_name}.zip)
set(programs $<TARGET_FILE:qvtool>)
set(program_targets qvtool)
set(window_steps "")
set(QV_FIRMWARE_NOTE "" CACHE FILEPATH "firmware-files.txt as the host build writes it")
# The libraries' notices, from the Debian packages the cross-build takes them from.
set(notices
    ${PROJECT_SOURCE_DIR}/packaging/copyright qvupdate-copyright.txt
    /usr/share/doc/libcli11-dev/copyright cli11-copyright.txt
    /usr/share/doc/nlohmann-json3-dev/copyright nlohmann-json-copyright.txt
    /usr/share/doc/mingw-w64-x86-64-dev/copyright mingw-w64-copyright.txt
    /usr/share/doc/gcc-mingw-w64-base/copyright gcc-runtime-copyright.txt)
set(notice_steps COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}/licences)
set(expected qvtool.exe README-Windows.txt firmware-files.txt)
while(notices)
    list(POP_FRONT notices from to)
    list(APPEND notice_steps COMMAND ${CMAKE_COMMAND} -E copy ${from} ${zip_stage}/licences/${to})
    list(APPEND expected licences/${to})
endwhile()
if(TARGET qvupdate)
    list(APPEND programs $<TARGET_FILE:qvupdate>)
    list(APPEND program_targets qvupdate)
    list(APPEND expected qvupdate.exe qvupdate-service.cmd licences/qt/SOURCE.txt relink/relink.sh)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/qvupdate-service.cmd
                   ${CMAKE_BINARY_DIR}/qvupdate-service.cmd @ONLY NEWLINE_STYLE CRLF)
    set(window_steps
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/qvupdate-service.cmd ${zip_stage}
        COMMAND ${CMAKE_STRIP} --strip-all ${zip_stage}/$<TARGET_FILE_NAME:qvupdate>
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${QV_QT_WINDOWS_PREFIX}/licences
                ${zip_stage}/licences/qt
        COMMAND ${CMAKE_COMMAND} -DLINK_RULE=${CMAKE_BINARY_DIR}/app/CMakeFiles/qvupdate.dir/link.txt
                -DLINK_DIR=${CMAKE_BINARY_DIR}/app -DBUILD_DIR=${CMAKE_BINARY_DIR}
                -DQT_PREFIX=${QV_QT_WINDOWS_PREFIX} -DQT_VERSION=${Qt6_VERSION}
                -DOUT=${zip_stage}/relink -P ${CMAKE_CURRENT_LIST_DIR}/RelinkKit.cmake)
endif()
get_filename_component(firmware_name ${QV_DEMO_FIRMWARE} NAME)
list(APPEND expected ${firmware_name})
add_custom_command(
    OUTPUT ${zip_file}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${programs} ${QV_DEMO_FIRMWARE} ${QV_FIRMWARE_NOTE}
            ${zip_stage}
    # Without their symbols the programs are half the download.
    COMMAND ${CMAKE_STRIP} --strip-all ${zip_stage}/$<TARGET_FILE_NAME:qvtool>
    COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${PROJECT_SOURCE_DIR}/packaging/windows/README-Windows.txt.in
            -DPROJECT_VERSION=${PROJECT_VERSION} -DDEMO_FIRMWARE=${firmware_name}
            -DOUTPUT=${zip_stage}/README-Windows.txt -P ${CMAKE_CURRENT_LIST_DIR}/WindowsReadme.cmake
    ${notice_steps}
    ${window_steps}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip_file}.part --format=zip ${zip_name}
    COMMAND ${CMAKE_COMMAND} -DZIP=${zip_file}.part -DFOLDER=${zip_name} "-DEXPECTED=${expected}"
            -DVERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/CheckWindowsZip.cmake
    COMMAND ${CMAKE_COMMAND} -E rename ${zip_file}.part ${zip_file}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${program_targets} demo_firmware ${QV_FIRMWARE_NOTE}
            ${PROJECT_SOURCE_DIR}/packaging/windows/README-Windows.txt.in
            ${PROJECT_SOURCE_DIR}/packaging/windows/qvupdate-service.cmd
            ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_CURRENT_LIST_DIR}/WindowsReadme.cmake
            ${CMAKE_CURRENT_LIST_DIR}/CheckWindowsZip.cmake ${CMAKE_CURRENT_LIST_DIR}/RelinkKit.cmake
    COMMENT "Packing ${zip_name}.zip"
    VERBATIM)
add_custom_target(windows_zip DEPENDS ${zip_file})
