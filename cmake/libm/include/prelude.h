/* Put ahead of every file of the C library's sources that cmake/libm.cmake compiles: the
   few definitions that the library's own build gives each file, for a build outside it.
   Only names the math files use are here; none of them changes an arithmetic operation. */
#ifndef QUORIX_LIBM_PRELUDE_H
#define QUORIX_LIBM_PRELUDE_H
#include <errno.h>
#define attribute_hidden
#define __glibc_likely(c) __builtin_expect((c), 1)
#define __glibc_unlikely(c) __builtin_expect((c), 0)
#ifndef __always_inline
#define __always_inline __inline __attribute__((__always_inline__))
#endif
#define __set_errno(e) (errno = (e))
/* The exported names are given by select.c; the files' own aliases name nothing. */
#define hidden_def(name)
#define strong_alias(name, alias)
#define LIBM_SVID_COMPAT 0
#endif
