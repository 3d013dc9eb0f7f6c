# Run by `cpack -G External` (set up by find_package(MakeSetup)): turns the
# staged install and the project's CPACK_ variables into a package
# description, keeps it beside the output as NAME.toml, and has makesetup
# build NAME.exe from it.
#
# Read from what CPack users already set:
#   CPACK_PACKAGE_NAME            [package] name
#   CPACK_PACKAGE_VERSION         [package] version (one to four numbers)
#   CPACK_PACKAGE_VENDOR          [package] author
#   CPACK_PACKAGE_CONTACT         [package] email ("Name <a@b.c>" gives a@b.c)
#   CPACK_PACKAGE_HOMEPAGE_URL    [package] website
#   CPACK_PACKAGE_EXECUTABLES     pairs of executable and label: a Start Menu
#                                 group with one item each
#   CPACK_PACKAGE_ICON            [package] icon, when it is an .ico file
#   CPACK_COMPONENTS_GROUPING     IGNORE: one setup executable per component;
#                                 otherwise one of all components
# and for the rest:
#   CPACK_MAKESETUP_NAME, _VERSION, _ICON   instead of the above
#   CPACK_MAKESETUP_START_MENU_FOLDER       the group's name (default: the name)
#   CPACK_MAKESETUP_EXECUTABLES_DIRECTORY   where the executables lie (default bin)
#   CPACK_MAKESETUP_UNINSTALLER             ON (default), OFF, or an uninstaller's path
#   CPACK_MAKESETUP_SIGN_COMMAND            [sign] command, with {in} and {out}
#   CPACK_MAKESETUP_REGISTRY                groups of four: root, key, name, value
#   CPACK_MAKESETUP_EXTRA                   TOML text appended to the description
#   CPACK_MAKESETUP_STUB                    another setup program ([package] stub)
#   CPACK_MAKESETUP_EXECUTABLE              the makesetup to run
cmake_minimum_required(VERSION 3.19)

# `text` as a TOML string: a literal one ('...') where it can be, which keeps
# backslashes readable, else a basic one with escapes. makesetup reads
# ${NAME} as a define, so a literal "${" is written "$${".
function(makesetup_toml_string out text)
    string(REPLACE "\${" "$\${" text "${text}")
    if(NOT text MATCHES "['\n\r\t]")
        set(${out} "'${text}'" PARENT_SCOPE)
        return()
    endif()
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    string(REPLACE "\n" "\\n" text "${text}")
    string(REPLACE "\r" "\\r" text "${text}")
    string(REPLACE "\t" "\\t" text "${text}")
    set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# Appends `key = "value"` to the description in `var`.
function(makesetup_key var key value)
    makesetup_toml_string(quoted "${value}")
    set(${var} "${${var}}${key} = ${quoted}\n" PARENT_SCOPE)
endfunction()

function(makesetup_is_boolean out value)
    string(TOUPPER "${value}" upper)
    if(upper MATCHES "^(ON|OFF|TRUE|FALSE|YES|NO|Y|N|1|0)$")
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

# True when this makesetup reads `key` in [package]: older ones refuse keys
# they do not know, so a key CPack always has (the version) is probed first.
function(makesetup_knows_package_key out key value)
    set(probe "${CPACK_TOPLEVEL_DIRECTORY}/makesetup-probe")
    file(MAKE_DIRECTORY "${probe}")
    makesetup_toml_string(quoted "${value}")
    set(stub "")
    if(CPACK_MAKESETUP_STUB)
        makesetup_key(stub stub "${CPACK_MAKESETUP_STUB}")
    endif()
    file(WRITE "${probe}/probe.toml" "[package]\nname = 'probe'\n${stub}${key} = ${quoted}\n")
    execute_process(COMMAND "${makesetup}" build "${probe}/probe.toml" -q -o "${probe}/probe.exe"
                    OUTPUT_QUIET ERROR_VARIABLE errors RESULT_VARIABLE rc)
    file(REMOVE_RECURSE "${probe}")
    if(errors MATCHES "unknown key \"${key}\"")
        set(${out} FALSE PARENT_SCOPE)
    else()
        set(${out} TRUE PARENT_SCOPE)
    endif()
endfunction()

# The [package] table and the [sign] table.
function(makesetup_package_tables out)
    set(text "[package]\n")
    if(CPACK_MAKESETUP_STUB)
        makesetup_key(text stub "${CPACK_MAKESETUP_STUB}")
    endif()
    if(DEFINED CPACK_MAKESETUP_NAME)
        makesetup_key(text name "${CPACK_MAKESETUP_NAME}")
    else()
        makesetup_key(text name "${CPACK_PACKAGE_NAME}")
    endif()

    if(DEFINED CPACK_MAKESETUP_VERSION)
        set(version "${CPACK_MAKESETUP_VERSION}")
    elseif(CPACK_PACKAGE_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
        set(version "${CPACK_PACKAGE_VERSION}")
    elseif(CPACK_PACKAGE_VERSION)
        message(WARNING "MakeSetup: CPACK_PACKAGE_VERSION \"${CPACK_PACKAGE_VERSION}\" is not one to four numbers; "
                        "the setup executable gets no version (set CPACK_MAKESETUP_VERSION)")
    endif()
    if(DEFINED version)
        makesetup_knows_package_key(known version "${version}")
        if(known)
            makesetup_key(text version "${version}")
        else()
            message(STATUS "MakeSetup: this makesetup has no version key; the version is left out")
        endif()
    endif()

    if(CPACK_PACKAGE_VENDOR)
        makesetup_key(text author "${CPACK_PACKAGE_VENDOR}")
    endif()
    if(CPACK_PACKAGE_CONTACT MATCHES "<([^<>]+@[^<>]+)>")
        makesetup_key(text email "${CMAKE_MATCH_1}")
    elseif(CPACK_PACKAGE_CONTACT MATCHES "^[^ <>]+@[^ <>]+$")
        makesetup_key(text email "${CPACK_PACKAGE_CONTACT}")
    endif()
    if(CPACK_PACKAGE_HOMEPAGE_URL)
        makesetup_key(text website "${CPACK_PACKAGE_HOMEPAGE_URL}")
    endif()

    if(DEFINED CPACK_MAKESETUP_ICON)
        makesetup_key(text icon "${CPACK_MAKESETUP_ICON}")
    elseif(CPACK_PACKAGE_ICON MATCHES "\\.[iI][cC][oO]$")
        makesetup_key(text icon "${CPACK_PACKAGE_ICON}")
    elseif(CPACK_PACKAGE_ICON)
        message(STATUS "MakeSetup: CPACK_PACKAGE_ICON is no .ico file; set CPACK_MAKESETUP_ICON for the setup's icon")
    endif()

    set(uninstaller ON)
    if(DEFINED CPACK_MAKESETUP_UNINSTALLER)
        set(uninstaller "${CPACK_MAKESETUP_UNINSTALLER}")
    endif()
    makesetup_is_boolean(boolean "${uninstaller}")
    if(NOT boolean)
        makesetup_key(text uninstaller "${uninstaller}")
    elseif(uninstaller)
        string(APPEND text "uninstaller = true\n")
    endif()

    if(CPACK_MAKESETUP_SIGN_COMMAND)
        string(APPEND text "\n[sign]\n")
        makesetup_key(text command "${CPACK_MAKESETUP_SIGN_COMMAND}")
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One [[file]] pattern per staged folder: each keeps its folders below it.
function(makesetup_file_tables out)
    set(text "")
    foreach(folder IN LISTS ARGN)
        if(NOT IS_DIRECTORY "${folder}")
            continue()  # a component that installs nothing
        endif()
        string(APPEND text "\n[[file]]\n")
        makesetup_key(text source "${folder}/**")
    endforeach()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The registry values, given as groups of four (root, key, name, value); a
# key may use / for \, which CPack's configuration would otherwise need as \\\\.
function(makesetup_registry_tables out)
    set(values "${CPACK_MAKESETUP_REGISTRY}")  # quoted: an empty name stays an item
    list(LENGTH values count)
    math(EXPR rest "${count} % 4")
    if(NOT rest EQUAL 0)
        message(FATAL_ERROR "MakeSetup: CPACK_MAKESETUP_REGISTRY holds ${count} items, not groups of four "
                            "(root, key, name, value)")
    endif()
    set(text "")
    while(count GREATER 0)
        math(EXPR count "${count} - 4")
        list(POP_FRONT values root key name value)
        string(REPLACE "/" "\\" key "${key}")
        string(APPEND text "\n[[registry]]\n")
        makesetup_key(text root "${root}")
        makesetup_key(text key "${key}")
        makesetup_key(text name "${name}")
        makesetup_key(text value "${value}")
    endwhile()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The Start Menu: a group, then one item per executable and label.
function(makesetup_shell_tables out name)
    set(pairs "${CPACK_PACKAGE_EXECUTABLES}")
    list(LENGTH pairs count)
    math(EXPR rest "${count} % 2")
    if(NOT rest EQUAL 0)
        message(FATAL_ERROR "MakeSetup: CPACK_PACKAGE_EXECUTABLES holds ${count} items, not pairs of executable "
                            "and label")
    endif()
    if(count EQUAL 0 AND NOT DEFINED CPACK_MAKESETUP_START_MENU_FOLDER)
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    set(group "${name}")
    if(DEFINED CPACK_MAKESETUP_START_MENU_FOLDER)
        set(group "${CPACK_MAKESETUP_START_MENU_FOLDER}")
    endif()
    set(folder bin)
    if(DEFINED CPACK_MAKESETUP_EXECUTABLES_DIRECTORY)
        set(folder "${CPACK_MAKESETUP_EXECUTABLES_DIRECTORY}")
    endif()
    set(text "\n[[shell]]\n")
    makesetup_key(text group "${group}")
    while(count GREATER 0)
        math(EXPR count "${count} - 2")
        list(POP_FRONT pairs executable label)
        if(NOT executable MATCHES "\\.[eE][xX][eE]$")
            string(APPEND executable ".exe")
        endif()
        if(folder)
            set(executable "${folder}/${executable}")
        endif()
        string(APPEND text "\n[[shell]]\n")
        makesetup_key(text item "${label}")
        makesetup_key(text target "${executable}")
    endwhile()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Writes OUTPUT_DIR/FILE_NAME.toml for the staged FOLDERS and builds
# TOPLEVEL/FILE_NAME.exe from it; returns the executable's path.
function(makesetup_build out file_name)
    makesetup_package_tables(package)
    if(DEFINED CPACK_MAKESETUP_NAME)
        set(name "${CPACK_MAKESETUP_NAME}")
    else()
        set(name "${CPACK_PACKAGE_NAME}")
    endif()
    makesetup_file_tables(files ${ARGN})
    makesetup_registry_tables(registry)
    makesetup_shell_tables(shell "${name}")
    set(description "${output_dir}/${file_name}.toml")
    file(WRITE "${description}"
         "# Written by cpack -G External (MakeSetup) from the project's CPACK_ variables;\n"
         "# build it again with: makesetup build ${file_name}.toml\n"
         "${package}${files}${registry}${shell}")
    if(CPACK_MAKESETUP_EXTRA)
        file(APPEND "${description}" "\n${CPACK_MAKESETUP_EXTRA}\n")
    endif()

    set(executable "${CPACK_TOPLEVEL_DIRECTORY}/${file_name}.exe")
    execute_process(COMMAND "${makesetup}" build "${description}" -o "${executable}"
                    OUTPUT_VARIABLE summary ERROR_VARIABLE problems RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "MakeSetup: makesetup refused ${description}:\n${problems}")
    endif()
    if(problems)
        message(STATUS "MakeSetup: ${problems}")
    endif()
    string(STRIP "${summary}" summary)
    message(STATUS "MakeSetup: ${summary}")
    set(${out} "${executable}" PARENT_SCOPE)
endfunction()

# ---- the run -----------------------------------------------------------------

if(NOT CPACK_EXTERNAL_ENABLE_STAGING)
    message(FATAL_ERROR "MakeSetup: CPACK_EXTERNAL_ENABLE_STAGING is off: there is nothing to pack")
endif()
# CPack's JSON description. CMake 3.25 runs this script before it has
# flushed the file; then the variables say the same.
set(json "")
if(EXISTS "${CPACK_TEMPORARY_PACKAGE_FILE_NAME}")
    file(READ "${CPACK_TEMPORARY_PACKAGE_FILE_NAME}" json)
endif()
if(json)
    string(JSON major GET "${json}" formatVersionMajor)
    if(NOT major EQUAL 1)
        message(FATAL_ERROR "MakeSetup: CPack's description has format ${major}.x; this script reads 1.x")
    endif()
endif()

if(CPACK_MAKESETUP_EXECUTABLE)
    set(makesetup "${CPACK_MAKESETUP_EXECUTABLE}")
else()
    find_program(makesetup makesetup REQUIRED)
endif()
if(DEFINED CPACK_OUTPUT_FILE_PREFIX)
    set(output_dir "${CPACK_OUTPUT_FILE_PREFIX}")
else()
    set(output_dir "${CPACK_PACKAGE_DIRECTORY}")
endif()
file(MAKE_DIRECTORY "${output_dir}")

# The staged install: one folder, or one per component below the staging folder.
set(prefix "${CPACK_PACKAGING_INSTALL_PREFIX}")
string(REGEX REPLACE "/+$" "" prefix "${prefix}")
set(components "")
if(json)
    string(JSON project_count LENGTH "${json}" projects)
    if(project_count GREATER 0)
        math(EXPR last "${project_count} - 1")
        foreach(p RANGE ${last})
            string(JSON count LENGTH "${json}" projects ${p} components)
            if(count GREATER 0)
                math(EXPR last_component "${count} - 1")
                foreach(c RANGE ${last_component})
                    string(JSON component GET "${json}" projects ${p} components ${c})
                    list(APPEND components "${component}")
                endforeach()
            endif()
        endforeach()
    endif()
elseif(NOT CPACK_MONOLITHIC_INSTALL)
    set(components ${CPACK_COMPONENTS_ALL})
endif()
list(REMOVE_DUPLICATES components)

set(built "")
if(NOT components)
    makesetup_build(executable "${CPACK_PACKAGE_FILE_NAME}" "${CPACK_TEMPORARY_DIRECTORY}${prefix}")
    list(APPEND built "${executable}")
elseif(CPACK_COMPONENTS_GROUPING STREQUAL "IGNORE")
    foreach(component IN LISTS components)
        makesetup_build(executable "${CPACK_PACKAGE_FILE_NAME}-${component}"
                        "${CPACK_TEMPORARY_DIRECTORY}/${component}${prefix}")
        list(APPEND built "${executable}")
    endforeach()
else()
    set(folders "")
    foreach(component IN LISTS components)
        list(APPEND folders "${CPACK_TEMPORARY_DIRECTORY}/${component}${prefix}")
    endforeach()
    makesetup_build(executable "${CPACK_PACKAGE_FILE_NAME}" ${folders})
    list(APPEND built "${executable}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${built})
