# qv_precompile_headers(TARGET): headers a target's files share are parsed once per target
# instead of once per file: GoogleTest in the test executables and Qt's widget headers in the
# window's code and its tests. Only the build gets faster; every file still includes what it
# uses, so a build without them (or another compiler) sees the same program.
set(QV_PRECOMPILED_GTEST <gtest/gtest.h> <filesystem> <string> <vector>)
set(QV_PRECOMPILED_QT
    <QtCore/QString> <QtCore/QTimer> <QtWidgets/QLabel> <QtWidgets/QLineEdit>
    <QtWidgets/QPushButton> <QtWidgets/QTableWidget> <QtWidgets/QTabWidget> <QtWidgets/QWidget>)

function(qv_precompile_headers target)
    get_target_property(links ${target} LINK_LIBRARIES)
    set(headers)
    if("GTest::gtest" IN_LIST links OR "qv_test_main" IN_LIST links)
        list(APPEND headers ${QV_PRECOMPILED_GTEST})
    endif()
    # Not where glib's headers come in: they name a member `signals`, which Qt makes a keyword.
    if(("Qt6::Widgets" IN_LIST links OR "qv_app" IN_LIST links)
       AND NOT "PkgConfig::UMOCKDEV" IN_LIST links)
        list(APPEND headers ${QV_PRECOMPILED_QT})
    endif()
    if(NOT headers)
        return()
    endif()
    target_precompile_headers(${target} PRIVATE ${headers})
    # GCC 12 takes the inlined std::string code of a precompiled header for the program's own and
    # warns of out-of-bounds copies that cannot happen (only in the tests' files); the sanitizer
    # runs check bounds for real.
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-array-bounds
                           -Wno-stringop-overflow -Wno-stringop-overread>)
endfunction()
