# Libraries the cross-build takes from the host's Debian packages as sources or headers and
# builds with the cross compiler: CLI11 and nlohmann-json (header-only) and GoogleTest
# (GTest::gtest, GTest::gtest_main).
set(QV_CLI11_INCLUDE_DIR /usr/include CACHE PATH "Directory holding CLI11's CLI/ headers")
set(QV_JSON_INCLUDE_DIR /usr/include CACHE PATH "Directory holding nlohmann-json's headers")
set(QV_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's source tree")

# Only the libraries' own folders are exposed: the rest of the host's include directory is not
# for the target.
set(cli11_headers ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${cli11_headers})
file(CREATE_LINK ${QV_CLI11_INCLUDE_DIR}/CLI ${cli11_headers}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${cli11_headers})

set(json_headers ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${json_headers})
file(CREATE_LINK ${QV_JSON_INCLUDE_DIR}/nlohmann ${json_headers}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${json_headers})

if(QV_BUILD_TESTS)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${QV_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
