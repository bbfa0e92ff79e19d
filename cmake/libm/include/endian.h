/* Byte and word order: every target built with these files is little-endian. The last
   three names are the ones the sine and tangent tables use to pick a double's halves. */
#ifndef QUORIX_LIBM_ENDIAN_H
#define QUORIX_LIBM_ENDIAN_H
#define __LITTLE_ENDIAN 1234
#define __BIG_ENDIAN 4321
#define __BYTE_ORDER __LITTLE_ENDIAN
#define __FLOAT_WORD_ORDER __LITTLE_ENDIAN
#define LITTLE_ENDI 1
#define HIGH_HALF 1
#define LOW_HALF 0
#endif
