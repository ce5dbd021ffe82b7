# Arrows point down only: fails when a source file includes a header of a layer above its own.
#   cmake -DSOURCE_DIR=... -P LayerIncludes.cmake

cmake_minimum_required(VERSION 3.25)

# Each layer and the layers its files may include (its own included).
set(allowed_platform platform)
set(allowed_sim platform sim)
set(allowed_text text)
set(allowed_usb platform usb)
set(allowed_chip platform usb chip)
set(allowed_image image)
set(allowed_flash platform usb chip image flash)
set(allowed_app platform sim text usb chip image flash app)
set(allowed_cli platform sim text usb chip image flash cli)
set(layers platform sim text usb chip image flash app cli)

set(violations "")
foreach(layer IN LISTS layers)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} includes REGEX "^#include \"[a-z0-9]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([a-z0-9]+)/.*" "\\1" target "${line}")
            if(target IN_LIST layers AND NOT target IN_LIST allowed_${layer})
                file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
                string(APPEND violations "\n  ${name}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(violations)
    message(FATAL_ERROR "includes that point up a layer:${violations}")
endif()
