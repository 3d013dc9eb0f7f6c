# Run by `cpack -G External` (set up by find_package(MakeSetup)): turns the
# staged install and the project's CPACK_ variables into a package
# description, keeps it beside the output as NAME.toml with copies of what it
# reads in NAME.files/ (so that the pair builds with makesetup alone, from
# any folder), and has makesetup build NAME.exe from it.
#
# Read from what CPack users already set:
#   CPACK_PACKAGE_NAME            [package] name
#   CPACK_PACKAGE_VERSION         [package] version (one to four numbers)
#   CPACK_PACKAGE_VENDOR          [package] author
#   CPACK_PACKAGE_CONTACT         [package] email ("Name <a@b.c>" gives a@b.c)
#   CPACK_PACKAGE_HOMEPAGE_URL    [package] website
#   CPACK_PACKAGE_DESCRIPTION_SUMMARY  [package] description, unless it is
#                                 CPack's default ("... built using CMake")
#   CPACK_PACKAGE_EXECUTABLES     pairs of executable and label: a Start Menu
#                                 group with one item each; the first one is
#                                 also [package] display_icon
#   CPACK_PACKAGE_ICON            [package] icon, when it is an .ico file
#   CPACK_COMPONENTS_GROUPING     IGNORE: one setup executable per component;
#                                 otherwise one of all components
# and for the rest, CPACK_MAKESETUP_<KEY> for every [package] key (it wins
# over the variables above): _NAME, _VERSION, _AUTHOR, _EMAIL, _WEBSITE,
# _ICON, _COPYRIGHT, _DISPLAY_ICON, _HELP_LINK, _LICENSE, _DESCRIPTION,
# _REGISTRATION, _CODEPAGE, _AUTO_FOLDERS, _UNINSTALLER (ON, the default,
# OFF, or an uninstaller's path), _STUB (another setup program), and
#   CPACK_MAKESETUP_START_MENU_FOLDER       the group's name (default: the name)
#   CPACK_MAKESETUP_EXECUTABLES_DIRECTORY   where the executables lie (default
#                                           bin; "" or "." for the top folder)
#   CPACK_MAKESETUP_SIGN_COMMAND            [sign] command, with {in} and {out}
#   CPACK_MAKESETUP_REGISTRY                groups of four: root, key, name, value
#   CPACK_MAKESETUP_EXTRA                   TOML text appended to the description
#   CPACK_MAKESETUP_EXECUTABLE              the makesetup to run
# Each line of the description made from a variable names it in a comment,
# and makesetup's messages about that line are shown with the name.
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

# Appends `key = "value"` to the description in `var`; the further
# arguments name the CMake variables the value came from, in a comment that
# makesetup's messages about the line are traced back to (makesetup_explain).
function(makesetup_key var key value)
    makesetup_toml_string(quoted "${value}")
    makesetup_origin(comment ${ARGN})
    set(${var} "${${var}}${key} = ${quoted}${comment}\n" PARENT_SCOPE)
endfunction()

function(makesetup_origin out)
    if(ARGN)
        list(JOIN ARGN ", " names)
        set(${out} "  # ${names}" PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

function(makesetup_is_boolean out value)
    string(TOUPPER "${value}" upper)
    if(upper MATCHES "^(ON|OFF|TRUE|FALSE|YES|NO|Y|N|1|0)$")
        set(${out} TRUE PARENT_SCOPE)
    else()
        set(${out} FALSE PARENT_SCOPE)
    endif()
endfunction()

# A key that takes a boolean or a number: written bare when the value is one,
# else quoted, so that makesetup reports the wrong type on the variable's line.
function(makesetup_bare_key var key value variable)
    makesetup_is_boolean(boolean "${value}")
    if(boolean AND NOT key STREQUAL "codepage")
        if(value)
            set(value true)
        else()
            set(value false)
        endif()
    elseif(NOT value MATCHES "^[0-9]+$")
        makesetup_key(${var} ${key} "${value}" ${variable})
        set(${var} "${${var}}" PARENT_SCOPE)
        return()
    endif()
    set(${var} "${${var}}${key} = ${value}  # ${variable}\n" PARENT_SCOPE)
endfunction()

# The keys of KEY VALUE pairs that this makesetup reads in [package]: older
# ones refuse keys they do not know, so keys the script fills in by itself
# (the version, a default display_icon) are tried first, all in one run.
function(makesetup_known_keys out)
    set(probe "${CPACK_TOPLEVEL_DIRECTORY}/makesetup-probe")
    file(MAKE_DIRECTORY "${probe}")
    set(text "[package]\nname = 'probe'\n")
    if(stub_path)
        makesetup_key(text stub "${stub_path}")
    endif()
    set(pairs "${ARGN}")
    set(keys "")
    while(pairs)
        list(POP_FRONT pairs key value)
        makesetup_key(text ${key} "${value}")
        list(APPEND keys ${key})
    endwhile()
    file(WRITE "${probe}/probe.toml" "${text}")
    execute_process(COMMAND "${makesetup}" build "${probe}/probe.toml" -q -o "${probe}/probe.exe"
                    OUTPUT_QUIET ERROR_VARIABLE errors RESULT_VARIABLE rc)
    file(REMOVE_RECURSE "${probe}")
    set(known "")
    foreach(key IN LISTS keys)
        if(NOT errors MATCHES "unknown key \"${key}\"")
            list(APPEND known ${key})
        endif()
    endforeach()
    set(${out} "${known}" PARENT_SCOPE)
endfunction()

# An input file of the description (icon, stub, uninstaller), copied into
# the kept folder's SUBFOLDER; returns its path relative to the description.
# A file that is not there is left as given, for makesetup to report.
function(makesetup_keep_input out path subfolder)
    get_filename_component(absolute "${path}" ABSOLUTE BASE_DIR "${output_dir}")
    if(NOT EXISTS "${absolute}" OR IS_DIRECTORY "${absolute}")
        set(${out} "${path}" PARENT_SCOPE)
        return()
    endif()
    get_filename_component(name "${absolute}" NAME)
    file(COPY "${absolute}" DESTINATION "${kept_dir}/${subfolder}")
    set(${out} "${kept_name}/${subfolder}/${name}" PARENT_SCOPE)
endfunction()

# The value of a [package] key: CPACK_MAKESETUP_<KEY> when set, else the
# CPack variable FALLBACK when it is not empty. Sets `value` and `origin`
# (the variable's name; empty when there is no value) in the caller.
macro(makesetup_value key fallback)
    string(TOUPPER "CPACK_MAKESETUP_${key}" own)
    set(value "")
    set(origin "")
    if(DEFINED ${own})
        set(value "${${own}}")
        set(origin ${own})
    elseif(NOT "${fallback}" STREQUAL "" AND NOT "${${fallback}}" STREQUAL "")
        set(value "${${fallback}}")
        set(origin ${fallback})
    endif()
endmacro()

# A key from its own variable or the CPack variable `fallback` (see
# makesetup_value), added to `text` by `writer` when it has a value:
# makesetup_key (a string) or makesetup_bare_key.
macro(makesetup_given_key writer key fallback)
    makesetup_value(${key} "${fallback}")
    if(origin)
        cmake_language(CALL ${writer} text ${key} "${value}" ${origin})
    endif()
endmacro()

# Keys taken only from their own variables.
macro(makesetup_own_keys writer)
    foreach(own_key ${ARGN})
        makesetup_given_key(${writer} ${own_key} "")
    endforeach()
endmacro()

# The executables' folder below the install folder, "" for the top one.
function(makesetup_executables_folder out)
    set(folder bin)
    if(DEFINED CPACK_MAKESETUP_EXECUTABLES_DIRECTORY)
        set(folder "${CPACK_MAKESETUP_EXECUTABLES_DIRECTORY}")
    endif()
    string(REPLACE "\\" "/" folder "${folder}")
    string(REGEX REPLACE "^(\\./+)+" "" folder "${folder}")
    string(REGEX REPLACE "/+$" "" folder "${folder}")
    if(folder STREQUAL ".")
        set(folder "")
    endif()
    set(${out} "${folder}" PARENT_SCOPE)
endfunction()

# The installed path of EXECUTABLE (a name from CPACK_PACKAGE_EXECUTABLES).
function(makesetup_executable_target out executable)
    if(NOT executable MATCHES "\\.[eE][xX][eE]$")
        string(APPEND executable ".exe")
    endif()
    makesetup_executables_folder(folder)
    if(NOT folder STREQUAL "")
        set(executable "${folder}/${executable}")
    endif()
    set(${out} "${executable}" PARENT_SCOPE)
endfunction()

# The [package] table and the [sign] table; FOLDERS are the staged ones.
function(makesetup_package_tables out)
    set(text "[package]\n")
    if(stub_path)
        makesetup_keep_input(stub "${stub_path}" stub)
        makesetup_key(text stub "${stub}" CPACK_MAKESETUP_STUB)
    endif()
    makesetup_value(name CPACK_PACKAGE_NAME)
    makesetup_key(text name "${value}" ${origin})

    # Keys filled in by the script itself, written only when makesetup knows them.
    set(derived "")
    makesetup_value(version "")
    if(origin)
        makesetup_key(text version "${value}" ${origin})
    elseif(CPACK_PACKAGE_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
        list(APPEND derived version "${CPACK_PACKAGE_VERSION}" CPACK_PACKAGE_VERSION)
    elseif(CPACK_PACKAGE_VERSION)
        message(WARNING "MakeSetup: CPACK_PACKAGE_VERSION \"${CPACK_PACKAGE_VERSION}\" is not one to four numbers; "
                        "the setup executable gets no version (set CPACK_MAKESETUP_VERSION)")
    endif()

    makesetup_given_key(makesetup_key author CPACK_PACKAGE_VENDOR)
    makesetup_value(email "")
    if(origin)
        makesetup_key(text email "${value}" ${origin})
    elseif(CPACK_PACKAGE_CONTACT MATCHES "<([^<>]+@[^<>]+)>")
        makesetup_key(text email "${CMAKE_MATCH_1}" CPACK_PACKAGE_CONTACT)
    elseif(CPACK_PACKAGE_CONTACT MATCHES "^[^ <>]+@[^ <>]+$")
        makesetup_key(text email "${CPACK_PACKAGE_CONTACT}" CPACK_PACKAGE_CONTACT)
    endif()
    makesetup_given_key(makesetup_key website CPACK_PACKAGE_HOMEPAGE_URL)

    makesetup_value(icon "")
    if(NOT origin AND CPACK_PACKAGE_ICON MATCHES "\\.[iI][cC][oO]$")
        set(value "${CPACK_PACKAGE_ICON}")
        set(origin CPACK_PACKAGE_ICON)
    elseif(NOT origin AND CPACK_PACKAGE_ICON)
        message(STATUS "MakeSetup: CPACK_PACKAGE_ICON is no .ico file; set CPACK_MAKESETUP_ICON for the setup's icon")
    endif()
    if(origin)
        makesetup_keep_input(icon "${value}" icon)
        makesetup_key(text icon "${icon}" ${origin})
    endif()

    makesetup_own_keys(makesetup_key copyright help_link license)

    makesetup_value(description "")
    if(origin)
        makesetup_key(text description "${value}" ${origin})
    elseif(CPACK_PACKAGE_DESCRIPTION_SUMMARY AND NOT CPACK_PACKAGE_DESCRIPTION_SUMMARY MATCHES " built using CMake$")
        list(APPEND derived description "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" CPACK_PACKAGE_DESCRIPTION_SUMMARY)
    endif()

    # Programs and Features shows the first executable's icon, when it was installed.
    makesetup_value(display_icon "")
    if(origin)
        makesetup_key(text display_icon "${value}" ${origin})
    elseif(CPACK_PACKAGE_EXECUTABLES)
        list(GET CPACK_PACKAGE_EXECUTABLES 0 first)
        makesetup_executable_target(target "${first}")
        foreach(folder IN LISTS ARGN)
            if(EXISTS "${folder}/${target}")
                list(APPEND derived display_icon "${target}" "CPACK_PACKAGE_EXECUTABLES")
                break()
            endif()
        endforeach()
    endif()

    set(probe "")
    set(rest "${derived}")
    while(rest)
        list(POP_FRONT rest key value origin)
        list(APPEND probe ${key} "${value}")
    endwhile()
    if(probe)
        makesetup_known_keys(known ${probe})
    endif()
    while(derived)
        list(POP_FRONT derived key value origin)
        if(key IN_LIST known)
            makesetup_key(text ${key} "${value}" ${origin})
        else()
            message(STATUS "MakeSetup: this makesetup has no ${key} key; ${origin} is left out")
        endif()
    endwhile()

    makesetup_own_keys(makesetup_bare_key registration codepage auto_folders)

    set(uninstaller ON)
    if(DEFINED CPACK_MAKESETUP_UNINSTALLER)
        set(uninstaller "${CPACK_MAKESETUP_UNINSTALLER}")
    endif()
    makesetup_is_boolean(boolean "${uninstaller}")
    if(NOT boolean)
        makesetup_keep_input(uninstaller "${uninstaller}" uninstaller)
        makesetup_key(text uninstaller "${uninstaller}" CPACK_MAKESETUP_UNINSTALLER)
    elseif(uninstaller)
        string(APPEND text "uninstaller = true\n")
    endif()

    if(CPACK_MAKESETUP_SIGN_COMMAND)
        string(APPEND text "\n[sign]\n")
        makesetup_key(text command "${CPACK_MAKESETUP_SIGN_COMMAND}" CPACK_MAKESETUP_SIGN_COMMAND)
    endif()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One [[file]] pattern per staged folder (pairs of a label and a folder),
# each copied to the kept folder's install/LABEL: its files keep their
# folders below it.
function(makesetup_file_tables out)
    set(text "")
    set(pairs "${ARGN}")
    while(pairs)
        list(POP_FRONT pairs label folder)
        if(NOT IS_DIRECTORY "${folder}")
            continue()  # a component that installs nothing
        endif()
        file(COPY "${folder}/" DESTINATION "${kept_dir}/install/${label}")
        string(APPEND text "\n[[file]]\n")
        makesetup_key(text source "${kept_name}/install/${label}/**")
    endwhile()
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
        foreach(field root key name value)
            makesetup_key(text ${field} "${${field}}" CPACK_MAKESETUP_REGISTRY)
        endforeach()
    endwhile()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The Start Menu: a group, then one item per executable and label.
function(makesetup_shell_tables out name name_origin)
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
    set(text "\n[[shell]]\n")
    if(DEFINED CPACK_MAKESETUP_START_MENU_FOLDER)
        makesetup_key(text group "${CPACK_MAKESETUP_START_MENU_FOLDER}" CPACK_MAKESETUP_START_MENU_FOLDER)
    else()
        makesetup_key(text group "${name}" ${name_origin})
    endif()
    set(folder_origin "")
    if(DEFINED CPACK_MAKESETUP_EXECUTABLES_DIRECTORY)
        set(folder_origin CPACK_MAKESETUP_EXECUTABLES_DIRECTORY)
    endif()
    while(count GREATER 0)
        math(EXPR count "${count} - 2")
        list(POP_FRONT pairs executable label)
        makesetup_executable_target(target "${executable}")
        string(APPEND text "\n[[shell]]\n")
        makesetup_key(text item "${label}" CPACK_PACKAGE_EXECUTABLES)
        makesetup_key(text target "${target}" CPACK_PACKAGE_EXECUTABLES ${folder_origin})
    endwhile()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The LINE-th line (from 1) of `text`.
function(makesetup_line out text line)
    while(line GREATER 1)
        string(FIND "${text}" "\n" at)
        if(at LESS 0)
            set(${out} "" PARENT_SCOPE)
            return()
        endif()
        math(EXPR at "${at} + 1")
        string(SUBSTRING "${text}" ${at} -1 text)
        math(EXPR line "${line} - 1")
    endwhile()
    string(FIND "${text}" "\n" at)
    string(SUBSTRING "${text}" 0 ${at} text)
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# makesetup's MESSAGES about DESCRIPTION, each one about a line made from a
# CMake variable followed by "(from VARIABLE)": the author wrote that, not
# the description. Lines from EXTRA_LINE on are CPACK_MAKESETUP_EXTRA's.
function(makesetup_explain out messages description extra_line)
    file(READ "${description}" text)
    set(explained "")
    while(NOT messages STREQUAL "")
        string(FIND "${messages}" "\n" at)
        if(at LESS 0)
            set(message "${messages}")
            set(messages "")
        else()
            string(SUBSTRING "${messages}" 0 ${at} message)
            math(EXPR at "${at} + 1")
            string(SUBSTRING "${messages}" ${at} -1 messages)
        endif()
        set(origin "")
        if(message MATCHES ":([0-9]+): (error|warning): ")
            set(number ${CMAKE_MATCH_1})
            if(extra_line AND number GREATER_EQUAL extra_line)
                set(origin CPACK_MAKESETUP_EXTRA)
            else()
                makesetup_line(line "${text}" ${number})
                if(line MATCHES "  # (CPACK_[A-Z0-9_, ]+)$")
                    set(origin "${CMAKE_MATCH_1}")
                endif()
            endif()
        endif()
        string(APPEND explained "${message}")
        if(origin)
            string(APPEND explained " (from ${origin})")
        endif()
        string(APPEND explained "\n")
    endwhile()
    set(${out} "${explained}" PARENT_SCOPE)
endfunction()

# Writes OUTPUT_DIR/FILE_NAME.toml and OUTPUT_DIR/FILE_NAME.files/ for the
# staged folders (pairs of a label and a folder) and builds
# TOPLEVEL/FILE_NAME.exe from them; returns the executable's path.
function(makesetup_build out file_name)
    set(kept_name "${file_name}.files")
    set(kept_dir "${output_dir}/${kept_name}")
    file(REMOVE_RECURSE "${kept_dir}")  # nothing of an earlier run may slip into the package
    set(folders "")
    set(pairs "${ARGN}")
    while(pairs)
        list(POP_FRONT pairs label folder)
        list(APPEND folders "${folder}")
    endwhile()
    makesetup_package_tables(package ${folders})
    makesetup_value(name CPACK_PACKAGE_NAME)
    makesetup_file_tables(files ${ARGN})
    makesetup_registry_tables(registry)
    makesetup_shell_tables(shell "${value}" ${origin})
    set(description "${output_dir}/${file_name}.toml")
    string(CONCAT text
           "# Written by cpack -G External (MakeSetup) from the project's CPACK_ variables (each line\n"
           "# names the variable it came from) and the staged install, copied into ${kept_name}/.\n"
           "# Build it again, from any folder, with: makesetup build ${file_name}.toml\n"
           "${package}${files}${registry}${shell}")
    set(extra_line 0)
    if(CPACK_MAKESETUP_EXTRA)
        string(APPEND text "\n# CPACK_MAKESETUP_EXTRA:\n")
        string(REGEX MATCHALL "\n" newlines "${text}")
        list(LENGTH newlines extra_line)
        math(EXPR extra_line "${extra_line} + 1")
        string(APPEND text "${CPACK_MAKESETUP_EXTRA}\n")
    endif()
    file(WRITE "${description}" "${text}")

    set(executable "${CPACK_TOPLEVEL_DIRECTORY}/${file_name}.exe")
    execute_process(COMMAND "${makesetup}" build "${description}" -o "${executable}"
                    OUTPUT_VARIABLE summary ERROR_VARIABLE problems RESULT_VARIABLE rc)
    makesetup_explain(problems "${problems}" "${description}" ${extra_line})
    if(NOT rc EQUAL 0)
        # Indented, so that CMake shows the lines as they are instead of rewrapping them.
        string(REPLACE "\n" "\n  " problems "  ${problems}")
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

# The stub is looked for from the description's folder, as makesetup would.
set(stub_path "")
if(CPACK_MAKESETUP_STUB)
    get_filename_component(stub_path "${CPACK_MAKESETUP_STUB}" ABSOLUTE BASE_DIR "${output_dir}")
endif()

set(built "")
if(NOT components)
    makesetup_build(executable "${CPACK_PACKAGE_FILE_NAME}" all "${CPACK_TEMPORARY_DIRECTORY}${prefix}")
    list(APPEND built "${executable}")
elseif(CPACK_COMPONENTS_GROUPING STREQUAL "IGNORE")
    foreach(component IN LISTS components)
        makesetup_build(executable "${CPACK_PACKAGE_FILE_NAME}-${component}"
                        "${component}" "${CPACK_TEMPORARY_DIRECTORY}/${component}${prefix}")
        list(APPEND built "${executable}")
    endforeach()
else()
    set(folders "")
    foreach(component IN LISTS components)
        list(APPEND folders "${component}" "${CPACK_TEMPORARY_DIRECTORY}/${component}${prefix}")
    endforeach()
    makesetup_build(executable "${CPACK_PACKAGE_FILE_NAME}" ${folders})
    list(APPEND built "${executable}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${built})
