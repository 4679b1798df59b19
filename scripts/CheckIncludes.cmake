# Reads every #include line of the source tree and fails on one that crosses the layers. The
# layer order is written in docs/LAYERS.md; this script is its check:
#
#   settings <- link <- engine <- archive <- library <- {cli, ui}
#   link/    midi/ and serial/ (the device classes and the port backends) <- the links in link/;
#            midi/ and serial/ use neither each other nor link/'s own files
#   sim      the standard library only (and the OS, for its pseudo-terminal)
#   demo     joins sim to a link, for the --demo of both programs
#   ui/      core <- dialogs <- list <- view <- commands <- log <- library <- shell, each folder using only those
#            before it; only shell (the program's main) reaches demo
#   tests/, bench/, tools/  anything
#
# Project headers are included from the source root ("engine/Librarian.h"); a bare name
# ("Librarian.h") is refused too, since a crossing could not be seen in it. A project header
# written in angle brackets (<engine/Librarian.h>) is checked as the same header in quotes. Qt
# headers (<QString>, <QtCore/qstring.h>, and the lower-case <qstring.h>) are allowed only in
# ui/, archive/, library/, the Qt settings store (and its log file location), and tests,
# benchmarks and tools.
#
#   cmake -DSOURCE_DIR=<tree> -P scripts/CheckIncludes.cmake
# SOURCE_DIR defaults to the tree this script is in.

cmake_minimum_required(VERSION 3.25)
if(NOT SOURCE_DIR)
    get_filename_component(SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()

# The folders a folder's files may include from, besides their own. "quorlin" is the generated
# version header (quorlin/Version.h).
set(uses_settings "")
set(uses_link settings)
set(uses_engine link settings)
set(uses_archive engine link settings)
set(uses_library archive engine link settings)
set(uses_sim quorlin)  # the generated help and version headers: the standard library only
set(uses_demo sim link settings)
set(uses_cli library archive engine link settings demo quorlin)
set(uses_ui library archive engine link settings quorlin)
set(open_folders tests bench tools)
set(ui_order core dialogs list view commands log library shell)
string(REPLACE ";" " <- " ui_order_text "${ui_order}")
# Inside link/: what each place may include from link/ ("top": link/'s own files). A new
# subfolder of link/ has no entry until it is given its place here and in docs/LAYERS.md.
set(link_uses_top top midi serial)
set(link_uses_midi midi)
set(link_uses_serial serial)
set(link_order_text "link/midi/, link/serial/ <- link/")

set(layers settings link engine archive library sim demo cli ui)
# The first folders of an include written in angle brackets that make it one of ours.
set(project_folders ${layers} ${open_folders} quorlin)
set(errors "")

function(check_file relative)
    string(REGEX MATCH "^[^/]+" folder "${relative}")
    file(STRINGS "${SOURCE_DIR}/${relative}" lines REGEX "^[ \t]*#[ \t]*include")
    set(found "")
    foreach(line IN LISTS lines)
        # Qt's headers: <QString>, <QtCore/qstring.h>, and the lower-case <qstring.h>.
        set(qt_header "")
        if(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z0-9_/]*(\\.h)?)>")
            set(qt_header "${CMAKE_MATCH_1}")
        elseif(line MATCHES "#[ \t]*include[ \t]*<(q[a-z0-9_]*\\.h)>")
            set(qt_header "${CMAKE_MATCH_1}")
        endif()
        if(qt_header)
            set(qt_allowed FALSE)
            if(folder STREQUAL "ui" OR folder STREQUAL "archive" OR folder STREQUAL "library"
               OR folder IN_LIST open_folders
               OR relative MATCHES "^settings/(QtSettingsStore|LogFileLocation)\\.")
                set(qt_allowed TRUE)
            endif()
            if(NOT qt_allowed)
                list(APPEND found "${relative}: includes <${qt_header}>: no Qt in ${folder}/")
            endif()
            continue()
        endif()
        set(open "\"")
        set(close "\"")
        if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(included "${CMAKE_MATCH_1}")
        elseif(line MATCHES "#[ \t]*include[ \t]*<([^/>]+)/([^>]*)>")
            # One of ours in angle brackets is checked as the same header in quotes.
            if(NOT CMAKE_MATCH_1 IN_LIST project_folders)
                continue()
            endif()
            set(included "${CMAKE_MATCH_1}/${CMAKE_MATCH_2}")
            set(open "<")
            set(close ">")
        else()
            continue()
        endif()
        set(shown "${open}${included}${close}")
        if(included MATCHES "\\.moc$")  # Qt's moc output of a test's own file
            continue()
        endif()
        if(NOT included MATCHES "/")
            list(APPEND found "${relative}: includes ${shown}: write it from the source root")
            continue()
        endif()
        if(folder IN_LIST open_folders)
            continue()
        endif()
        string(REGEX MATCH "^[^/]+" target "${included}")
        if(target STREQUAL folder)
            if(folder STREQUAL "link")
                # Inside link/: the device classes and port backends never reach up.
                set(from top)
                set(to top)
                if(relative MATCHES "^link/([^/]+)/")
                    set(from "${CMAKE_MATCH_1}")
                endif()
                if(included MATCHES "^link/([^/]+)/")
                    set(to "${CMAKE_MATCH_1}")
                endif()
                if(NOT to IN_LIST link_uses_${from})
                    set(from_text "link/${from}/")
                    set(to_text "link/${to}/")
                    string(REPLACE "link/top/" "link/" from_text "${from_text}")
                    string(REPLACE "link/top/" "link/" to_text "${to_text}")
                    list(APPEND found
                         "${relative}: includes ${shown}: ${from_text} may not use ${to_text} (${link_order_text})")
                endif()
            elseif(folder STREQUAL "ui")
                # Inside ui/: only folders before one's own.
                string(REGEX MATCH "^ui/([^/]+)/" _ "${relative}")
                set(from "${CMAKE_MATCH_1}")
                string(REGEX MATCH "^ui/([^/]+)/" _ "${included}")
                set(to "${CMAKE_MATCH_1}")
                list(FIND ui_order "${from}" from_index)
                list(FIND ui_order "${to}" to_index)
                if(from_index LESS 0 OR to_index LESS 0)
                    list(APPEND found
                         "${relative}: includes ${shown}: ui/${from}/ or ui/${to}/ has no place in ${ui_order_text}")
                elseif(to_index GREATER from_index)
                    list(APPEND found
                         "${relative}: includes ${shown}: ui/${from}/ may not use ui/${to}/ (${ui_order_text})")
                endif()
            endif()
            continue()
        endif()
        set(allowed ${folder} ${uses_${folder}})
        if(relative MATCHES "^ui/shell/")
            list(APPEND allowed demo)
        endif()
        if(NOT target IN_LIST allowed)
            string(REPLACE ";" ", " allowed_text "${allowed}")
            set(where "${folder}/")
            if(folder STREQUAL "ui")
                string(REGEX MATCH "^ui/[^/]+/" where "${relative}")
            endif()
            list(APPEND found
                 "${relative}: includes ${shown}: ${where} may use only ${allowed_text}")
        endif()
    endforeach()
    set(errors ${errors} ${found} PARENT_SCOPE)
endfunction()

set(checked 0)
foreach(folder IN LISTS layers open_folders)
    if(NOT IS_DIRECTORY "${SOURCE_DIR}/${folder}")
        continue()
    endif()
    file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}"
         "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.hpp"
         "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.cc"
         "${SOURCE_DIR}/${folder}/*.inl")
    list(SORT files)
    foreach(file IN LISTS files)
        # The fixtures of this check's own test hold forbidden lines on purpose.
        if(file MATCHES "^tests/layers/")
            continue()
        endif()
        check_file("${file}")
        math(EXPR checked "${checked} + 1")
    endforeach()
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "No source files found under ${SOURCE_DIR}")
endif()
list(LENGTH errors count)
if(count GREATER 0)
    foreach(error IN LISTS errors)
        message("${error}")
    endforeach()
    message(FATAL_ERROR "${count} forbidden include(s) in ${checked} files")
endif()
message(STATUS "Includes follow the layers: ${checked} files")
