# Fails when a program that ships in every package outgrows its budget.
#   cmake -DFILE=Setup.exe -DBUDGET=bytes -P SetupSize.cmake
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
math(EXPR kib "${size} / 1024")
if(size GREATER BUDGET)
    message(FATAL_ERROR "${name} is ${size} bytes (${kib} KiB), over its budget of ${BUDGET} bytes")
endif()
message(STATUS "${name} is ${size} bytes (${kib} KiB), budget ${BUDGET}")
