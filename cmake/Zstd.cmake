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
# SETUP_ZSTD_TUNING picks the build (setup_zstd_decoder below); "size" is
# the default. bench/decode-speed.sh weighs them side by side: decoding the
# 92 MB of /usr/share/doc's distinct contents under Wine took 1.02 s "size",
# 0.59 s "hot" (+17.9 KB), 0.55 s "hotx2" (+20 KB), 0.59 s "speed" (+22 KB).
# The install decodes on a second thread beside its file writes, which hides
# that second for a few kilobytes, so the stub keeps "size".
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
set_property(CACHE SETUP_ZSTD_TUNING PROPERTY STRINGS size hot hotx2 speed)

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

set(zstd_decoder_hot
    ${zstd_lib}/decompress/huf_decompress.c
    ${zstd_lib}/decompress/zstd_decompress_block.c
)
set(zstd_decoder_rest
    ${zstd_lib}/common/entropy_common.c
    ${zstd_lib}/common/error_private.c
    ${zstd_lib}/common/fse_decompress.c
    ${zstd_lib}/common/xxhash.c
    ${zstd_lib}/common/zstd_common.c
    ${zstd_lib}/decompress/zstd_ddict.c
    ${zstd_lib}/decompress/zstd_decompress.c
)
set(zstd_decoder_definitions
    ZSTD_LEGACY_SUPPORT=0
    ZSTD_FORCE_DECOMPRESS_SEQUENCES_SHORT
    ZSTD_STRIP_ERROR_STRINGS
    ZSTD_NO_UNUSED_FUNCTIONS
    ZSTD_TRACE=0
    DYNAMIC_BMI2=0
    ZSTD_DISABLE_ASM
)

# A decoder library TARGET built as TUNING:
#   size   -Os, no inlining
#   hot    the two files the time goes in (Huffman literals, sequences) -O2,
#          the rest as "size"
#   hotx2  "hot" with the double-symbol Huffman decoder
#   speed  everything -O2
function(setup_zstd_decoder target tuning)
    set(huffman HUF_FORCE_DECOMPRESS_X1)
    if(tuning STREQUAL "hotx2")
        set(huffman HUF_FORCE_DECOMPRESS_X2)
    endif()
    # Foreign code: its warnings are not ours to fail on. No exception unwinds
    # through C, so it needs no unwind tables.
    set(quiet -w -fno-asynchronous-unwind-tables -fno-unwind-tables)
    if(tuning STREQUAL "size")
        add_library(${target} STATIC ${zstd_decoder_hot} ${zstd_decoder_rest})
        target_compile_definitions(${target} PRIVATE ZSTD_NO_INLINE)
    elseif(tuning STREQUAL "speed")
        add_library(${target} STATIC ${zstd_decoder_hot} ${zstd_decoder_rest})
        target_compile_options(${target} PRIVATE -O2)
    else()
        add_library(${target}_hot OBJECT ${zstd_decoder_hot})
        target_include_directories(${target}_hot SYSTEM PRIVATE ${zstd_lib})
        target_compile_definitions(${target}_hot PRIVATE ${zstd_decoder_definitions} ${huffman})
        target_compile_options(${target}_hot PRIVATE ${quiet} -O2)
        setup_small_library(${target}_hot)
        add_library(${target} STATIC ${zstd_decoder_rest} $<TARGET_OBJECTS:${target}_hot>)
        target_compile_definitions(${target} PRIVATE ZSTD_NO_INLINE)
    endif()
    target_include_directories(${target} SYSTEM PUBLIC ${zstd_lib})
    target_compile_definitions(${target} PRIVATE ${zstd_decoder_definitions} ${huffman})
    target_compile_options(${target} PRIVATE ${quiet})
    setup_small_library(${target})
endfunction()

setup_zstd_decoder(setup_zstd ${SETUP_ZSTD_TUNING})

file(GLOB makesetup_zstd_sources ${zstd_lib}/common/*.c ${zstd_lib}/compress/*.c ${zstd_lib}/decompress/*.c)
add_library(makesetup_zstd STATIC ${makesetup_zstd_sources})
target_include_directories(makesetup_zstd SYSTEM PUBLIC ${zstd_lib})
# Both cores for the compressor (the library's own Windows threads).
target_compile_definitions(makesetup_zstd PRIVATE ZSTD_MULTITHREAD ZSTD_LEGACY_SUPPORT=0 ZSTD_DISABLE_ASM)
target_compile_options(makesetup_zstd PRIVATE -w -O2)
