# quorlin_layer_headers(TARGET FOLDER): gives TARGET, and whatever links it, the headers of FOLDER
# (a folder of the source tree, such as "engine" or "ui/core") and of no other folder.
#
# Headers are included from the source root ("engine/Librarian.h"), but the source root itself
# is handed to no library: each folder gets an include root of its own under the build tree,
# holding only a link to that folder. A library then reaches exactly the folders of the
# libraries it links, so the compiler refuses an include of a layer it does not use, as the
# include check (scripts/CheckIncludes.cmake) does. The layer order is in docs/LAYERS.md.
#
# Where the file system cannot make the link (Windows without the right to make symbolic links),
# the library gets the whole source root, as before, and only the include check guards the
# layers.
function(quorlin_layer_headers target folder)
    string(REPLACE "/" "-" name "${folder}")
    set(root "${PROJECT_BINARY_DIR}/include-roots/${name}")
    set(link "${root}/${folder}")
    if(NOT IS_DIRECTORY "${link}")
        get_filename_component(parent "${link}" DIRECTORY)
        file(MAKE_DIRECTORY "${parent}")
        file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${link}" RESULT made SYMBOLIC)
    endif()
    if(IS_DIRECTORY "${link}")
        target_include_directories(${target} PUBLIC "$<BUILD_INTERFACE:${root}>")
    else()
        message(STATUS "No include root for ${folder}/ (${made}): ${target} sees the whole tree")
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    endif()
endfunction()
