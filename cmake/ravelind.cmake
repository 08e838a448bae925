# One library target of src/: its sources listed by hand, its headers reachable as
# <layer/header.h> by itself and by the targets that link it, and by no one else.
#
#   ravelind_library(engine
#       SOURCES localfiles.cpp localfiles.h operations/runner.cpp operations/runner.h
#       PUBLIC_DEPS protocol platform
#       PRIVATE_DEPS Threads::Threads)
#
# SOURCES are relative to the calling folder (the folder of the CMakeLists.txt). Each folder
# that holds a listed source is published under its path below src/: a symlink
# <build>/include/<target>/<path below src> points at the source folder, and only
# <build>/include/<target> goes on the target's public include path. So engine's headers are
# <engine/localfiles.h> and <engine/operations/runner.h>, compare's (src/views/compare) are
# <views/compare/textcomparer.h>, and a target that does not link engine cannot find them.
# A published folder carries its subfolders along, so two targets must not publish one
# folder and a folder inside it; configuring stops if they do.
function(ravelind_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "ravelind_library(${name}): unexpected ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT ARG_SOURCES)
        message(FATAL_ERROR "ravelind_library(${name}): no SOURCES")
    endif()

    set(src_root ${PROJECT_SOURCE_DIR}/src)
    set(folders)
    foreach(source ${ARG_SOURCES})
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                   NORMALIZE OUTPUT_VARIABLE absolute)
        if(NOT EXISTS ${absolute})
            message(FATAL_ERROR "ravelind_library(${name}): ${source} does not exist")
        endif()
        cmake_path(GET absolute PARENT_PATH folder)
        cmake_path(IS_PREFIX src_root ${folder} NORMALIZE inside)
        if(NOT inside OR folder STREQUAL src_root)
            message(FATAL_ERROR "ravelind_library(${name}): ${source} is not in a folder below src/")
        endif()
        cmake_path(RELATIVE_PATH folder BASE_DIRECTORY ${src_root})
        list(APPEND folders ${folder})
    endforeach()
    list(REMOVE_DUPLICATES folders)

    # Keep only the outermost folders: a link inside a linked folder would land in the
    # source tree.
    set(published)
    foreach(folder ${folders})
        set(covered FALSE)
        foreach(other ${folders})
            if(NOT other STREQUAL folder)
                cmake_path(IS_PREFIX other ${folder} inner)
                if(inner)
                    set(covered TRUE)
                endif()
            endif()
        endforeach()
        if(NOT covered)
            list(APPEND published ${folder})
        endif()
    endforeach()

    get_property(taken GLOBAL PROPERTY RAVELIND_PUBLISHED_FOLDERS)
    set(root ${CMAKE_BINARY_DIR}/include/${name})
    file(REMOVE_RECURSE ${root})
    foreach(folder ${published})
        foreach(entry ${taken})
            string(REPLACE "=" ";" pair ${entry})
            list(GET pair 0 owner)
            list(GET pair 1 theirs)
            cmake_path(IS_PREFIX theirs ${folder} below)
            cmake_path(IS_PREFIX folder ${theirs} above)
            if(below OR above)
                message(FATAL_ERROR "ravelind_library(${name}): src/${folder} overlaps "
                                    "src/${theirs} of ${owner}; give each target its own folder")
            endif()
        endforeach()
        list(APPEND taken "${name}=${folder}")
        cmake_path(GET folder PARENT_PATH parent)
        file(MAKE_DIRECTORY ${root}/${parent})
        file(CREATE_LINK ${src_root}/${folder} ${root}/${folder} SYMBOLIC)
    endforeach()
    set_property(GLOBAL PROPERTY RAVELIND_PUBLISHED_FOLDERS ${taken})

    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${root})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    set_property(TARGET ${name} PROPERTY RAVELIND_PUBLISHED ${published})
    ravelind_warnings(${name})
endfunction()
