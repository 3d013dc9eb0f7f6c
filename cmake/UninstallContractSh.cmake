# Writes the uninstall names the setup program and the uninstaller share
# (package/UninstallContract.h) as shell variables for the test scripts:
#   cmake -DSOURCE_DIR=DIR -DOUTPUT=FILE -P UninstallContractSh.cmake
file(READ "${SOURCE_DIR}/package/UninstallContract.h" contract)
file(READ "${SOURCE_DIR}/package/RegistryRoots.h" roots)

# The text of `inline constexpr std::string_view NAME = "...";`, unescaped.
function(contract_text name out)
    if(NOT contract MATCHES "${name} = \"([^\"]*)\";")
        message(FATAL_ERROR "UninstallContract.h: no text ${name}")
    endif()
    string(REPLACE "\\\\" "\\" text "${CMAKE_MATCH_1}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

contract_text(kDataFileName data_file)
contract_text(kRegistrationParent parent)

# kRegistrationRoot names a root constant, which names a row of kRoots.
if(NOT contract MATCHES "kRegistrationRoot = RegistryRoots::(k[A-Za-z]+);")
    message(FATAL_ERROR "UninstallContract.h: kRegistrationRoot names no RegistryRoots constant")
endif()
if(NOT roots MATCHES "${CMAKE_MATCH_1} = kRoots\\[([0-9]+)\\]")
    message(FATAL_ERROR "RegistryRoots.h: no row for ${CMAKE_MATCH_1}")
endif()
set(row ${CMAKE_MATCH_1})
string(REGEX MATCHALL "{\"HK[A-Z]+\"" shorts "${roots}")
list(GET shorts ${row} root)
string(REPLACE "{\"" "" root "${root}")
string(REPLACE "\"" "" root "${root}")

file(CONFIGURE OUTPUT "${OUTPUT}" CONTENT [[
# Written by the build from package/UninstallContract.h; do not edit.
# shellcheck shell=bash
uninstall_data_file=@data_file@
uninstall_registrations='@root@\@parent@'
]] @ONLY)
