/* The byte order for the library's union of a double's fields (ieee754.h). */
#include "../../endian.h"
