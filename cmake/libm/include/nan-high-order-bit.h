/* IEEE 754-2008 quiet NaNs: the high mantissa bit set means quiet. */
#define HIGH_ORDER_BIT_IS_SET_FOR_SNAN 0
