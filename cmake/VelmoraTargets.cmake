# Common settings of every target of our own.
function(velmora_setup_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    target_compile_definitions(${target} PRIVATE
        QT_NO_FOREACH
        QT_NO_URL_CAST_FROM_STRING
        QT_DISABLE_DEPRECATED_BEFORE=0x050F00)
endfunction()

# Output name with the "d" suffix of Debug builds: Velmora_x64 / Velmora_x64d.
function(velmora_output_name target base)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME "${base}"
        OUTPUT_NAME_DEBUG "${base}d")
endfunction()

# A Qt Test executable registered with CTest, run headless with its own
# settings and runtime folders.
#   velmora_add_test(NAME tst_x SOURCES a.cpp LIBS Velmora [ARGS ...] [TEST_NAME name])
function(velmora_add_test)
    cmake_parse_arguments(T "" "NAME;TEST_NAME" "SOURCES;LIBS;ARGS;ENVIRONMENT" ${ARGN})
    if(NOT TARGET ${T_NAME})
        add_executable(${T_NAME} ${T_SOURCES})
        target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBS})
        velmora_setup_target(${T_NAME})
        set_target_properties(${T_NAME} PROPERTIES
            RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests"
            INSTALL_RPATH "$ORIGIN/../bin")
    endif()
    if(NOT T_TEST_NAME)
        set(T_TEST_NAME ${T_NAME})
    endif()
    set(_home "${CMAKE_BINARY_DIR}/test-home/${T_TEST_NAME}")
    file(MAKE_DIRECTORY "${_home}/config" "${_home}/runtime")
    execute_process(COMMAND chmod 700 "${_home}/runtime")
    add_test(NAME ${T_TEST_NAME} COMMAND ${T_NAME} ${T_ARGS})
    set_tests_properties(${T_TEST_NAME} PROPERTIES
        TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${_home}/config;XDG_RUNTIME_DIR=${_home}/runtime;VELMORA_TEST_HOME=${_home};VELMORA_SOURCE_DIR=${CMAKE_SOURCE_DIR};VELMORA_BINARY_DIR=${CMAKE_BINARY_DIR};${T_ENVIRONMENT}")
endfunction()
