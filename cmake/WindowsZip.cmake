# windows_zip: qvupdate-windows-x64.zip in the build tree, the folder a Windows technician
# downloads: qvupdate.exe (when the window is built), qvtool.exe, the demo firmware and the
# README's Windows section as README-Windows.txt. The window links Qt statically, so the folder
# also carries what Qt's licence asks for: its licence text and, in relink/, the window's own
# objects and the command that links them against another build of the same Qt.
set(zip_name qvupdate-windows-x64)
set(zip_stage ${CMAKE_BINARY_DIR}/${zip_name})
set(zip_file ${CMAKE_BINARY_DIR}/${zip_name}.zip)
set(programs $<TARGET_FILE:qvtool>)
set(program_targets qvtool)
set(window_steps "")
if(TARGET qvupdate)
    list(APPEND programs $<TARGET_FILE:qvupdate>)
    list(APPEND program_targets qvupdate)
    set(window_steps
        COMMAND ${CMAKE_STRIP} --strip-all ${zip_stage}/$<TARGET_FILE_NAME:qvupdate>
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${QV_QT_WINDOWS_PREFIX}/licences
                ${zip_stage}/licences/qt
        COMMAND ${CMAKE_COMMAND} -DLINK_RULE=${CMAKE_BINARY_DIR}/app/CMakeFiles/qvupdate.dir/link.txt
                -DLINK_DIR=${CMAKE_BINARY_DIR}/app -DBUILD_DIR=${CMAKE_BINARY_DIR}
                -DQT_PREFIX=${QV_QT_WINDOWS_PREFIX} -DQT_VERSION=${Qt6_VERSION}
                -DOUT=${zip_stage}/relink -P ${CMAKE_CURRENT_LIST_DIR}/RelinkKit.cmake)
endif()
get_filename_component(firmware_name ${QV_DEMO_FIRMWARE} NAME)
add_custom_command(
    OUTPUT ${zip_file}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -E copy ${programs} ${QV_DEMO_FIRMWARE} ${zip_stage}
    # Without their symbols the programs are half the download.
    COMMAND ${CMAKE_STRIP} --strip-all ${zip_stage}/$<TARGET_FILE_NAME:qvtool>
    COMMAND ${CMAKE_COMMAND} -DREADME=${PROJECT_SOURCE_DIR}/README.md
            -DOUTPUT=${zip_stage}/README-Windows.txt -P ${CMAKE_CURRENT_LIST_DIR}/WindowsReadme.cmake
    ${window_steps}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip_file} --format=zip ${zip_name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${program_targets} demo_firmware ${PROJECT_SOURCE_DIR}/README.md
            ${CMAKE_CURRENT_LIST_DIR}/WindowsReadme.cmake ${CMAKE_CURRENT_LIST_DIR}/RelinkKit.cmake
    COMMENT "Packing ${zip_name}.zip"
    VERBATIM)
add_custom_target(windows_zip DEPENDS ${zip_file})
