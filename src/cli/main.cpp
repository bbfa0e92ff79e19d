// quorix-cli: Quorix's solver, special functions, number texts and sweep
// table from the command line.
#include "cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <string>
#include <vector>

#include "system_services.h"

// Windows hands main() its arguments in the ANSI code page, which cannot
// hold every file name: they are taken from the wide command line and
// passed on as UTF-8, as paths travel through Quorix. The standard streams
// are binary, so that every system gets the same bytes (a text-mode stream
// would turn each "\n" into "\r\n", and the sweep's "\r\n" into "\r\r\n";
// reading, it would drop the CR of a record's lines and stop at a Ctrl-Z).
int main() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const std::vector<std::string> args = quorix::platform::CommandLineArguments();
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return quorix::cli::RunCli(static_cast<int>(args.size()), argv.data());
}
#elif defined(__EMSCRIPTEN__)
#include <cstdio>

// Under Node.js the C library's standard output is unbuffered: every fwrite
// is a synchronous call into JavaScript and a system call, which made a long
// sweep spend a third of its time writing. It gets a 64 KiB buffer, flushed
// when a command ends (and by the JSON-lines sweep after each row); a
// terminal cannot be told apart there, so it sees the rows in blocks.
int main(int argc, char** argv) {
  static char buffer[1 << 16];
  std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  return quorix::cli::RunCli(argc, argv);
}
#else
int main(int argc, char** argv) { return quorix::cli::RunCli(argc, argv); }
#endif
