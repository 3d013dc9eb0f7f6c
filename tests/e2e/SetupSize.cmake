# Fails when the setup stub outgrows its budget: it ships in every package.
#   cmake -DFILE=Setup.exe -DBUDGET=bytes -P SetupSize.cmake
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
if(size GREATER BUDGET)
    message(FATAL_ERROR "Setup.exe is ${size} bytes (${kib} KiB), over its budget of ${BUDGET} bytes")
endif()
message(STATUS "Setup.exe is ${size} bytes (${kib} KiB), budget ${BUDGET}")
