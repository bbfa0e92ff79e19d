/* The library's symbol versions and aliases: select.c gives the names instead. */
#define libm_alias_double(from, to)
#define libm_alias_double_other(from, to)
#define versioned_symbol(lib, local, symbol, version)
