# Build facts compiled into the editor and the engine stand-in.
set(VELMORA_VERSION "2.11.0.0")
set(VELMORA_BRANCH_TAG "ver-2.11.0.0")
execute_process(
    COMMAND git rev-parse --short HEAD
    WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}"
    OUTPUT_VARIABLE VELMORA_REVISION
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET
    RESULT_VARIABLE _velmora_git_result)
if(NOT _velmora_git_result EQUAL 0 OR VELMORA_REVISION STREQUAL "")
    set(VELMORA_REVISION "unknown")
endif()
set(VELMORA_COMPILER "GCC ${CMAKE_CXX_COMPILER_VERSION}")
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(VELMORA_COMPILER "${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}")
endif()
configure_file("${CMAKE_SOURCE_DIR}/cmake/build_info.h.in"
               "${CMAKE_BINARY_DIR}/generated/build_info.h" @ONLY)
add_library(build_info INTERFACE)
target_include_directories(build_info INTERFACE "${CMAKE_BINARY_DIR}/generated")
