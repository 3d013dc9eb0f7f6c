# The zstd decoder: target `setup_zstd`.
#
# Natively it is Debian's libzstd (libzstd-dev). For the Win32 programs it is
# built here from Debian's source of the same library, which setup.sh unpacks
# into a cache outside the tree: its decompressor and the common parts only,
# sized for a program that ships in every package. The options below are the
# library's own size switches:
#   one Huffman decoder (single-symbol) and one sequence decoder (short
#   offsets), no legacy formats, no error strings, no tracing hooks, no
#   run-time dispatch to CPU extensions, no assembly.
#
# SETUP_ZSTD_TUNING picks size or speed. Measured with a 60 MB stream under
# Wine (through qemu-i386 on this kind of machine): "size" (-Os, no inlining)
# adds 25 KB to a program and decodes it in 18 s; -Os with inlining adds 30 KB
# and takes as long; "speed" (-O2) adds 45 KB and takes 10.5 s.
# `makesetup_zstd` is the whole library (compressor too) for the packaging
# tool: Debian's natively, built from the same source for makesetup.exe.
if(NOT WIN32)
    find_package(zstd CONFIG REQUIRED)
    add_library(setup_zstd INTERFACE)
    target_link_libraries(setup_zstd INTERFACE zstd::libzstd_shared)
    add_library(makesetup_zstd INTERFACE)
    target_link_libraries(makesetup_zstd INTERFACE zstd::libzstd_shared)
    return()
endif()

set(SETUP_ZSTD_TUNING size CACHE STRING "The mingw zstd decoder built for size or for speed")
set_property(CACHE SETUP_ZSTD_TUNING PROPERTY STRINGS size speed)

if(DEFINED ENV{SETUP_SOURCE_CACHE})
    set(source_cache $ENV{SETUP_SOURCE_CACHE})
elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(source_cache $ENV{XDG_CACHE_HOME}/selfextracting-setup)
else()
    set(source_cache $ENV{HOME}/.cache/selfextracting-setup)
endif()
set(SETUP_ZSTD_SOURCE_DIR ${source_cache}/libzstd CACHE PATH "Debian's zstd source, unpacked by setup.sh")
set(zstd_lib ${SETUP_ZSTD_SOURCE_DIR}/lib)
if(NOT EXISTS ${zstd_lib}/zstd.h OR NOT EXISTS ${zstd_lib}/decompress/zstd_decompress.c)
    message(FATAL_ERROR "No zstd source in ${SETUP_ZSTD_SOURCE_DIR}: run ./setup.sh build, which fetches "
                        "Debian's, or point SETUP_ZSTD_SOURCE_DIR at an unpacked one")
endif()

add_library(setup_zstd STATIC
    ${zstd_lib}/common/entropy_common.c
    ${zstd_lib}/common/error_private.c
    ${zstd_lib}/common/fse_decompress.c
    ${zstd_lib}/common/xxhash.c
    ${zstd_lib}/common/zstd_common.c
    ${zstd_lib}/decompress/huf_decompress.c
    ${zstd_lib}/decompress/zstd_ddict.c
    ${zstd_lib}/decompress/zstd_decompress.c
    ${zstd_lib}/decompress/zstd_decompress_block.c
)
target_include_directories(setup_zstd SYSTEM PUBLIC ${zstd_lib})
target_compile_definitions(setup_zstd PRIVATE
    ZSTD_LEGACY_SUPPORT=0
    HUF_FORCE_DECOMPRESS_X1
    ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT
    ZSTD_STRIP_ERROR_STRINGS
    ZSTD_NO_UNUSED_FUNCTIONS
    ZSTD_TRACE=0
    DYNAMIC_BMI2=0
    ZSTD_DISABLE_ASM
)
if(SETUP_ZSTD_TUNING STREQUAL "speed")
    target_compile_options(setup_zstd PRIVATE -O2)
else()
    target_compile_definitions(setup_zstd PRIVATE ZSTD_NO_INLINE)
endif()
# Foreign code: its warnings are not ours to fail on. No exception unwinds
# through C, so it needs no unwind tables.
target_compile_options(setup_zstd PRIVATE -w -fno-asynchronous-unwind-tables -fno-unwind-tables)
setup_small_library(setup_zstd)

file(GLOB makesetup_zstd_sources ${zstd_lib}/common/*.c ${zstd_lib}/compress/*.c ${zstd_lib}/decompress/*.c)
add_library(makesetup_zstd STATIC ${makesetup_zstd_sources})
target_include_directories(makesetup_zstd SYSTEM PUBLIC ${zstd_lib})
# Both cores for the compressor (the library's own Windows threads).
target_compile_definitions(makesetup_zstd PRIVATE ZSTD_MULTITHREAD ZSTD_LEGACY_SUPPORT=0 ZSTD_DISABLE_ASM)
target_compile_options(makesetup_zstd PRIVATE -w -O2)
