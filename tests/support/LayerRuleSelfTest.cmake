# The layer rule must catch each way of breaking it: plants one violation per case in a small
# tree of its own and expects the rule to fail on it, and to pass on the clean tree.
#   cmake -DRULE=LayerRule.cmake -DLAYERS_FILE=Layers.cmake -DWORK_DIR=<empty folder> -P LayerRuleSelfTest.cmake

cmake_minimum_required(VERSION 3.25)

# Each case: a name, the file planted (relative to the tree) and its text ("" plants nothing).
set(cases
    "clean|cli/Ok.cpp|#include \"flash/A.h\"\n"
    "quoted include up|flash/Bad.cpp|#include \"cli/A.h\"\n"
    "indented and spaced|flash/Bad.cpp|  #  include   \"app/A.h\"\n"
    "angle brackets|chip/Bad.h|#include <flash/A.h>\n"
    "relative path up|cli/sub/Bad.cpp|#include \"../../app/A.h\"\n"
    "relative path beside|usb/Bad.cpp|#include \"../stack/A.h\"\n"
    "system service reaching a device|system/Bad.cpp|#include \"platform/DeviceApi.h\"\n"
    "unlisted folder|gadget/Thing.cpp|// code of its own\n"
    "link up|image/CMakeLists.txt|add_library(qv_image STATIC A.cpp)\ntarget_link_libraries(qv_image PUBLIC\n    qv_flash)\n"
    "nothing scanned||")

foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 name)
    list(GET fields 1 planted)
    list(GET fields 2 text)
    set(tree ${WORK_DIR}/tree)
    file(REMOVE_RECURSE ${tree})
    if(NOT name STREQUAL "nothing scanned")
        file(WRITE ${tree}/text/Base.h "#pragma once\n")
        file(WRITE ${tree}/flash/CMakeLists.txt "add_library(qv_flash STATIC A.cpp)\n")
    endif()
    file(MAKE_DIRECTORY ${tree})
    if(planted)
        string(REPLACE "\\n" "\n" text "${text}")
        string(REPLACE "\\\"" "\"" text "${text}")
        file(WRITE ${tree}/${planted} "${text}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -DLAYERS_FILE=${LAYERS_FILE}
                            -P ${RULE} RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE said)
    if(name STREQUAL "clean" AND failed)
        message(FATAL_ERROR "the clean tree was refused:\n${said}")
    elseif(NOT name STREQUAL "clean" AND NOT failed)
        message(FATAL_ERROR "planted '${name}' (${planted}) was not caught")
    endif()
    # Refused for the planted file, not for something else.
    string(REGEX REPLACE "/.*" "" planted_top "${planted}")
    if(NOT name STREQUAL "clean" AND NOT said MATCHES "${planted_top}/|nothing was checked")
        message(FATAL_ERROR "planted '${name}' was refused for another reason:\n${said}")
    endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR}/tree)
