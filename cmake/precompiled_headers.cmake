# Most of a compile here is spent parsing Qt's and the standard library's
# headers again for every file. Each library precompiles the ones its own files
# use most, once; the tests share one set (see tests/CMakeLists.txt). Only what a
# library already links may be listed, so that precompiling adds no dependency.
option(VOVOZODO_PRECOMPILE_HEADERS "Precompile the common headers of each library" ON)

# vovozodo_precompile(TARGET HEADERS...)
function(vovozodo_precompile target)
    if(VOVOZODO_PRECOMPILE_HEADERS)
        target_precompile_headers(${target} PRIVATE ${ARGN})
    endif()
endfunction()

# vovozodo_precompile_like(TARGET DONOR): TARGET uses DONOR's precompiled headers;
# both must be compiled with the same flags and definitions.
function(vovozodo_precompile_like target donor)
    if(VOVOZODO_PRECOMPILE_HEADERS)
        target_precompile_headers(${target} REUSE_FROM ${donor})
    endif()
endfunction()
