cmake_minimum_required(VERSION 3.25)
# Fails the build when a folder includes a header of a folder above it. The
# layers, bottom up: the infrastructure (errors, fsutil, logging), core (the
# shared types), measure, results, driver (the top). measure and results stand
# side by side: neither includes the other.
#   cmake -DSOURCE_DIR=<project> -P check_layers.cmake
set(forbidden_errors core measure results driver)
set(forbidden_fsutil core measure results driver)
set(forbidden_logging core measure results driver)
set(forbidden_core measure results driver)
set(forbidden_measure results driver)
set(forbidden_results measure driver)
set(violations "")
foreach(folder errors fsutil logging core measure results)
    file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source ${sources})
        file(STRINGS ${source} includes REGEX "^#include \"[a-z_]+/")
        foreach(line ${includes})
            string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" included ${line})
            if(included IN_LIST forbidden_${folder})
                file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
                string(APPEND violations "\n  ${name}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(violations)
    message(FATAL_ERROR "A folder includes a header of a folder above it:${violations}")
endif()
