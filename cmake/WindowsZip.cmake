# windows_zip: qvtool-windows-x64.zip in the build tree, holding qvtool.exe, the README's
# Windows section as README-Windows.txt and the demo firmware.
set(zip_stage ${CMAKE_BINARY_DIR}/windows-zip)
set(zip_file ${CMAKE_BINARY_DIR}/qvtool-windows-x64.zip)
get_filename_component(firmware_name ${QV_DEMO_FIRMWARE} NAME)
file(MAKE_DIRECTORY ${zip_stage})
add_custom_command(
    OUTPUT ${zip_file}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:qvtool> ${QV_DEMO_FIRMWARE} ${zip_stage}
    COMMAND ${CMAKE_COMMAND} -DREADME=${PROJECT_SOURCE_DIR}/README.md
            -DOUTPUT=${zip_stage}/README-Windows.txt -P ${CMAKE_CURRENT_LIST_DIR}/WindowsReadme.cmake
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip_file} --format=zip qvtool.exe README-Windows.txt
            ${firmware_name}
    WORKING_DIRECTORY ${zip_stage}
    DEPENDS qvtool demo_firmware ${PROJECT_SOURCE_DIR}/README.md
            ${CMAKE_CURRENT_LIST_DIR}/WindowsReadme.cmake
    COMMENT "Packing qvtool-windows-x64.zip"
    VERBATIM)
add_custom_target(windows_zip DEPENDS ${zip_file})
