# Size options for the Win32 programs that ship inside every package: the
# setup stub and the uninstaller.
#
#   setup_small_library(target)  compiles a library for link-time optimisation
#                                too: its objects carry both the optimiser's
#                                form and machine code, so other programs (the
#                                tests) link them as they are; and without
#                                run-time type information (no dynamic_cast
#                                or typeid in them)
#   setup_small_exe(target)      links a program small: link-time optimisation,
#                                no symbols, unused sections dropped, the
#                                runtime pieces of system/SmallRuntime.cpp, the
#                                entry of system/SmallStart.cpp instead of the
#                                C runtime's start-up (the program defines
#                                WinMain), and a link map beside it (NAME.map)
#                                that is checked for the thread library those
#                                pieces replace
#
# Link-time optimisation is what makes unused code go: the linker keeps every
# function of an object whose unwind table it keeps, and it keeps them all.
# Every other Win32 program links with -fno-lto, from the machine code.

set(SETUP_SMALL_CHECK ${CMAKE_CURRENT_LIST_DIR}/CheckSmallRuntime.cmake)
set(SETUP_SMALL_SPECS ${CMAKE_CURRENT_LIST_DIR}/SmallStartLink.rules)

function(setup_small_library target)
    # Without run-time type information: no type descriptions of the
    # polymorphic classes, and none of the runtime's code that walks them for
    # casts (a raised error's type still travels with it to its handler).
    target_compile_options(${target} PRIVATE -flto -ffat-lto-objects $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
endfunction()

function(setup_small_exe target)
    setup_small_library(${target})
    set(map $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.map)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:setup_small_runtime>)
    # One partition: split in two, the cross compiler's optimiser fails on
    # the error kinds' constructors (an internal compiler error in its modref
    # pass), and one is also what a program of this size wants.
    target_link_options(${target} PRIVATE -flto -flto-partition=one -s -Wl,--gc-sections -Wl,-Map=${map})
    # Our entry; no relocations at start-up: data that only a DLL holds
    # would need them, so the link refuses it.
    target_link_options(${target} PRIVATE -specs=${SETUP_SMALL_SPECS} -Wl,-e,_SmallStart -Wl,--disable-auto-import)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${SETUP_SMALL_SPECS})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DMAP=${map} -P ${SETUP_SMALL_CHECK}
        VERBATIM)
endfunction()
