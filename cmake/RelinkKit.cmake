# Writes the window's relink kit into OUT: the project's own objects and archives that the link
# of qvupdate.exe takes, and relink.sh, the same link command with Qt's install prefix as $QT, so
# a user can link the window against another build of the same Qt.
#   cmake -DLINK_RULE=<link.txt> -DLINK_DIR=<folder the link runs in> -DBUILD_DIR=<build tree>
#         -DQT_PREFIX=<Qt prefix> -DOUT=<folder> -P RelinkKit.cmake
# The rule's lines first pack the program's own objects into an archive, then link; the link is
# the line that names the output, and its libraries come in a response file (@file).
file(STRINGS ${LINK_RULE} rule)
set(command "")
foreach(line IN LISTS rule)
    if(line MATCHES " -o ")
        set(command "${line}")
    endif()
endforeach()
if(command STREQUAL "")
    message(FATAL_ERROR "${LINK_RULE} has no link command")
endif()
separate_arguments(given UNIX_COMMAND "${command}")
list(POP_FRONT given compiler)
set(words "")
foreach(word IN LISTS given)
    if(word MATCHES "^@(.*)")
        file(READ ${LINK_DIR}/${CMAKE_MATCH_1} listed)
        string(STRIP "${listed}" listed)
        separate_arguments(listed UNIX_COMMAND "${listed}")
        list(APPEND words ${listed})
    else()
        list(APPEND words "${word}")
    endif()
endforeach()

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/objects)
set(kit "")
set(output_next FALSE)
foreach(word IN LISTS words)
    if(output_next)
        string(APPEND kit " qvupdate.exe")
        set(output_next FALSE)
        continue()
    endif()
    if(word STREQUAL "-o")
        string(APPEND kit " -o")
        set(output_next TRUE)
        continue()
    endif()
    if(word MATCHES "^-Wl,--out-implib,")
        continue()  # an import library for a program nobody links against
    endif()
    string(FIND "${word}" "${QT_PREFIX}" in_qt)
    if(in_qt EQUAL 0)
        string(REPLACE "${QT_PREFIX}" "$QT" word "${word}")
        string(APPEND kit " \"${word}\"")
        continue()
    endif()
    get_filename_component(file ${word} ABSOLUTE BASE_DIR ${LINK_DIR})
    if(NOT word MATCHES "^-" AND EXISTS ${file} AND NOT IS_DIRECTORY ${file})
        file(RELATIVE_PATH name ${BUILD_DIR} ${file})
        get_filename_component(folder ${OUT}/objects/${name} DIRECTORY)
        file(COPY ${file} DESTINATION ${folder})
        string(APPEND kit " objects/${name}")
        continue()
    endif()
    string(APPEND kit " ${word}")
endforeach()

file(WRITE ${OUT}/relink.sh
"#!/bin/sh
# Links qvupdate.exe again from the objects in objects/ against another build of Qt ${QT_VERSION}
# for MinGW-w64, static, made as tools/build-qt-windows makes it (or modified):
#   QT=/path/to/that/qt sh relink.sh
set -eu
: \"\${QT:?set QT to the install prefix of the Qt to link against}\"
CXX=\${CXX:-x86_64-w64-mingw32-g++-posix}
cd \"$(dirname \"$0\")\"
exec \"$CXX\"${kit}
")
