// quorix-cli: Quorix's solver, special functions, number texts and sweep
// table from the command line.
#include "cli.h"

int main(int argc, char** argv) { return quorix::cli::RunCli(argc, argv); }
