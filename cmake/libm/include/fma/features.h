/* The library's union of a double's fields (ieee754.h) includes this for the C++ brackets of
   its declarations; compiled as C here, they are empty. */
#define __BEGIN_DECLS
#define __END_DECLS
