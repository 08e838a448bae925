# The layer rules, checked over the #include lines of every source file (run by ctest as
# `cmake -DSOURCE_DIR=<repository> -P cmake/checklayers.cmake`; exits non-zero and names each
# offending line when a rule is broken):
#   - platform, protocol, config, engine and views/compare include no Qt header;
#   - a layer includes headers of its own layer and of the layers below it only:
#       platform < protocol < config, engine < views < shell
#     (config and engine do not include each other; views/compare includes platform only);
#   - tools/ include no shell header; server/ includes no header of the client layers and no Qt.
# The per-target include roots already make most such includes fail to compile; this check
# also catches the ones a target could reach through a dependency it should not have.
cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
    message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<repository> -P checklayers.cmake")
endif()

# Layer of a folder below src/, or of an include path ("views/compare/x.h" -> compare).
function(layer_of path out)
    if(path MATCHES "^views/compare(/|$)")
        set(${out} compare PARENT_SCOPE)
    elseif(path MATCHES "^(platform|protocol|config|engine|views|shell)(/|$)")
        set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

# What each layer may include besides itself.
set(allowed_platform)
set(allowed_protocol platform)
set(allowed_config platform protocol)
set(allowed_engine platform protocol)
set(allowed_compare platform)
set(allowed_views platform protocol config engine compare)
set(allowed_shell platform protocol config engine compare views)
set(allowed_tools platform protocol config engine compare views)
set(allowed_server)
set(qt_free platform protocol config engine compare server)

set(violations 0)
function(report file line text)
    message("${file}:${line}: ${text}")
    math(EXPR n "${violations} + 1")
    set(violations ${n} PARENT_SCOPE)
endfunction()

# Every file is looked at, not a list: a rule must hold for files no target names yet.
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp
     ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tools/*.cpp
     ${SOURCE_DIR}/server/*.h ${SOURCE_DIR}/server/*.cpp)
list(LENGTH files count)
if(count EQUAL 0)
    message(FATAL_ERROR "no sources found below ${SOURCE_DIR}")
endif()

foreach(file ${files})
    if(file MATCHES "^src/(.*)/[^/]*$")
        layer_of(${CMAKE_MATCH_1} layer)
    elseif(file MATCHES "^tools/")
        set(layer tools)
    elseif(file MATCHES "^server/")
        set(layer server)
    else()
        set(layer "")
    endif()
    if(layer STREQUAL "")
        report(${file} 0 "a file in no layer's folder")
        continue()
    endif()

    file(STRINGS ${SOURCE_DIR}/${file} lines)
    set(number 0)
    foreach(text IN LISTS lines)
        math(EXPR number "${number} + 1")
        if(NOT text MATCHES "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"]")
            continue()
        endif()
        set(header ${CMAKE_MATCH_1})

        # Qt's headers: <QWidget>, <QtCore/qstring.h>, <qglobal.h>.
        if(layer IN_LIST qt_free AND header MATCHES "^(Q[A-Za-z]+|Qt[A-Za-z]*/.*|q[a-z0-9_]+\\.h)$")
            report(${file} ${number} "${layer} includes the Qt header <${header}>")
            continue()
        endif()

        layer_of(${header} target)
        if(target STREQUAL "" OR target STREQUAL layer)
            continue()
        endif()
        if(NOT target IN_LIST allowed_${layer})
            report(${file} ${number} "${layer} includes ${header} of ${target}")
        endif()
    endforeach()
endforeach()

if(violations GREATER 0)
    message(FATAL_ERROR "${violations} include(s) break the layer rules")
endif()
message(STATUS "layer rules hold for ${count} files")
