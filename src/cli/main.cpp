// quorix-cli: Quorix's solver, special functions, number texts and sweep
// table from the command line.
#include "cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>  // before shellapi.h, which needs its macros
#include <shellapi.h>

#include <string>
#include <vector>

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
  int argc = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (wide == nullptr) return 2;
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(n > 0 ? static_cast<std::size_t>(n) : 1u, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
    arg.resize(arg.size() - 1);  // the terminating NUL
    args.push_back(std::move(arg));
  }
  LocalFree(wide);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return quorix::cli::RunCli(argc, argv.data());
}
#else
int main(int argc, char** argv) { return quorix::cli::RunCli(argc, argv); }
#endif
