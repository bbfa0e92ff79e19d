/* Warning controls around single lines; the whole build of these files is quiet (-w). */
#define DIAG_PUSH_NEEDS_COMMENT
#define DIAG_POP_NEEDS_COMMENT
#define DIAG_IGNORE_NEEDS_COMMENT(version, option)
#define DIAG_IGNORE_Os_NEEDS_COMMENT(version, option)
