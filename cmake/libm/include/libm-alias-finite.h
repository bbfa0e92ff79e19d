/* No version aliases: select.c gives the names. */
#define libm_alias_finite(from, to)
