# exp, log, pow, sin, cos, tan, expm1 and log1p (and on Windows fma) for the builds for
# Windows and WebAssembly, made from the sources of Linux's C library (GNU libc), so that the
# engine's results there are Linux's bit for bit (docs/other-machines.md).
#
# MinGW-w64's functions and musl's (Emscripten's C library) round otherwise: MinGW-w64's pow
# is up to 26 ulps off, musl's sin and tan are other algorithms, and a last-place difference
# can turn a decision of the hypergeometric evaluator. The sources come from Debian's
# glibc-source package (the tarball of the same version as this machine's libc6), extracted
# into the build folder; cmake/libm/ holds the few headers of the library's own build they
# need and select.c, which gives the functions their names. No library source is kept in
# this repository.
#
# On x86-64 each function is compiled twice, as Linux's library is: with fused
# multiply-add for processors that have it and AVX2 (-mfma -mavx2, with the compiler free
# to fuse, as that library's build is), and without; select.c picks by the processor, as
# that library does. WebAssembly has no fused multiply-add and takes the second.
#
# Every program and library of the build links the result (link_libraries), ahead of the
# target's own C library, whose functions of the same names then stay out of the programs.
include_guard(GLOBAL)

file(GLOB _quorix_libm_tarballs /usr/src/glibc/glibc-*.tar.xz)
if(NOT _quorix_libm_tarballs)
  message(FATAL_ERROR "The build for ${CMAKE_SYSTEM_NAME} takes exp, log, pow, sin, tan, expm1 and log1p from "
                      "the sources of Linux's C library: install Debian's glibc-source "
                      "(bash scripts/deps.sh cross-windows)")
endif()
list(SORT _quorix_libm_tarballs)
list(GET _quorix_libm_tarballs -1 _quorix_libm_tarball)
get_filename_component(_quorix_libm_top ${_quorix_libm_tarball} NAME)
string(REGEX REPLACE "\\.tar\\.xz$" "" _quorix_libm_top ${_quorix_libm_top})
set(_quorix_libm_root ${CMAKE_BINARY_DIR}/libm-sources)
set(_quorix_libm_dir ${_quorix_libm_root}/${_quorix_libm_top}/sysdeps/ieee754/dbl-64)
set(_quorix_libm_files
  e_exp.c e_exp_data.c e_log.c e_log_data.c e_pow.c e_pow_log_data.c math_config.h math_err.c
  s_sin.c sincostab.c branred.c branred.h s_tan.c utan.h utan.tbl dla.h mydefs.h usncs.h
  s_expm1.c s_log1p.c s_fma.c)
if(NOT EXISTS ${_quorix_libm_dir}/s_fma.c)
  message(STATUS "Extracting the C library's math sources from ${_quorix_libm_tarball}")
  list(TRANSFORM _quorix_libm_files PREPEND ${_quorix_libm_top}/sysdeps/ieee754/dbl-64/
       OUTPUT_VARIABLE _quorix_libm_patterns)
  list(APPEND _quorix_libm_patterns ${_quorix_libm_top}/sysdeps/ieee754/ieee754.h)
  file(ARCHIVE_EXTRACT INPUT ${_quorix_libm_tarball} DESTINATION ${_quorix_libm_root}
       PATTERNS ${_quorix_libm_patterns})
endif()

enable_language(C)
# The library's own flags for its math files (GNU C11, -O2, rounding-mode-safe folding, no
# errno from builtins). Later on the line than the project's -ffp-contract=off, so that the
# fused kind may fuse as Linux's does; -w, as these are not Quorix's files.
set(_quorix_libm_flags -std=gnu11 -fgnu89-inline -O2 -frounding-math -fno-math-errno -fmerge-all-constants
    -ffp-contract=fast -w "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/libm/include/prelude.h")
set(_quorix_libm_includes ${CMAKE_CURRENT_LIST_DIR}/libm/include ${_quorix_libm_dir})

# Tables and helpers that hold no arithmetic the two kinds would round differently: once.
add_library(quorix_libm_shared OBJECT)
target_sources(quorix_libm_shared PRIVATE ${_quorix_libm_dir}/e_exp_data.c ${_quorix_libm_dir}/e_log_data.c
               ${_quorix_libm_dir}/e_pow_log_data.c ${_quorix_libm_dir}/math_err.c
               ${_quorix_libm_dir}/sincostab.c ${_quorix_libm_dir}/branred.c)

set(_quorix_libm_kinds plain)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  list(APPEND _quorix_libm_kinds fused)
  # MinGW-w64's fma rounds twice (fma(DBL_MAX, 2, −DBL_MAX) is inf, not DBL_MAX), and the
  # double-double arithmetic of the exact and accurate paths rests on a single rounding.
  # Processors without the instruction take the library's software fma (select.c).
  target_sources(quorix_libm_shared PRIVATE ${_quorix_libm_dir}/s_fma.c)
  set_source_files_properties(${_quorix_libm_dir}/s_fma.c PROPERTIES
    COMPILE_DEFINITIONS __fma=quorix_fma_software
    INCLUDE_DIRECTORIES "${CMAKE_CURRENT_LIST_DIR}/libm/include/fma;${_quorix_libm_dir}/..")
endif()
set(_quorix_libm_objects $<TARGET_OBJECTS:quorix_libm_shared>)
foreach(kind ${_quorix_libm_kinds})
  add_library(quorix_libm_${kind} OBJECT)
  target_sources(quorix_libm_${kind} PRIVATE ${_quorix_libm_dir}/e_exp.c ${_quorix_libm_dir}/e_log.c
                 ${_quorix_libm_dir}/e_pow.c ${_quorix_libm_dir}/s_sin.c ${_quorix_libm_dir}/s_tan.c
                 ${_quorix_libm_dir}/s_expm1.c ${_quorix_libm_dir}/s_log1p.c)
  # Each file defines __exp, __sin, … (s_sin.c both __sin and __cos): named here per kind.
  set(names "")
  foreach(f exp log pow sin cos tan expm1 log1p)
    list(APPEND names __${f}=quorix_${f}_${kind})
  endforeach()
  target_compile_definitions(quorix_libm_${kind} PRIVATE ${names})
  if(kind STREQUAL "fused")
    target_compile_options(quorix_libm_${kind} PRIVATE -mfma -mavx2)
  endif()
  list(APPEND _quorix_libm_objects $<TARGET_OBJECTS:quorix_libm_${kind}>)
endforeach()
foreach(target quorix_libm_shared ${_quorix_libm_kinds})
  if(NOT target STREQUAL "quorix_libm_shared")
    set(target quorix_libm_${target})
  endif()
  target_compile_options(${target} PRIVATE ${_quorix_libm_flags})
  target_include_directories(${target} PRIVATE ${_quorix_libm_includes})
endforeach()

add_library(quorix_libm STATIC ${CMAKE_CURRENT_LIST_DIR}/libm/select.c ${_quorix_libm_objects})
link_libraries(quorix_libm)
