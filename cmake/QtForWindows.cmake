# The cross-build's Qt: the one tools/build-qt-windows made for MinGW-w64 (static), with the host's
# moc, uic and rcc of the same version. `make windows` passes its prefix as QV_QT_WINDOWS_PREFIX.
if(NOT EXISTS ${QV_QT_WINDOWS_PREFIX}/lib/cmake/Qt6/Qt6Config.cmake)
    message(FATAL_ERROR "No Qt for Windows at '${QV_QT_WINDOWS_PREFIX}': run tools/build-qt-windows")
endif()
# The toolchain searches the MinGW tree only; Qt's prefix is a second root.
list(APPEND CMAKE_FIND_ROOT_PATH ${QV_QT_WINDOWS_PREFIX})
# Another prefix (a new recipe) makes every Qt package found before stale: find them anew.
if(NOT QV_QT_WINDOWS_PREFIX STREQUAL QV_QT_WINDOWS_PREFIX_FOUND)
    get_cmake_property(cached CACHE_VARIABLES)
    foreach(variable IN LISTS cached)
        if(variable MATCHES "^Qt6[A-Za-z]*_DIR$")
            unset(${variable} CACHE)
        endif()
    endforeach()
    set(QV_QT_WINDOWS_PREFIX_FOUND ${QV_QT_WINDOWS_PREFIX} CACHE INTERNAL "")
endif()
set(Qt6_DIR ${QV_QT_WINDOWS_PREFIX}/lib/cmake/Qt6 CACHE PATH "" FORCE)
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH OUTPUT_VARIABLE build_multiarch
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(QT_HOST_PATH /usr CACHE PATH "Prefix of the host Qt whose tools the cross-build runs")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${build_multiarch}/cmake CACHE PATH
    "CMake folder of the host Qt")
