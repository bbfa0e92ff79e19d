/* No narrowing aliases: select.c gives the names. */
#define libm_alias_double_narrow(from, to)
