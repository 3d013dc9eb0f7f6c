# Fails when a small program's link map shows winpthreads: its mutex calls would
# then meet the ones of SmallRuntime.cpp, which keep a different state.
#   cmake -DMAP=program.map -P CheckSmallRuntime.cmake
file(STRINGS "${MAP}" members REGEX "libpthread\\.a\\(")
if(members)
    list(GET members 0 first)
    message(FATAL_ERROR "${MAP}: winpthreads is linked (${first}); "
                        "something needs a thread call that SmallRuntime.cpp does not provide")
endif()
