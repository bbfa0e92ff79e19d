// The engine of the page: quorix-cli itself, run in-process in a Web Worker
// (web/worker.js). Every text the page shows and every byte it downloads is
// what the command line writes for the same arguments, by construction; the
// few functions here only carry arguments in and the two streams out.
//
// A sweep's table can be long. The worker cannot take a message while the
// sweep runs, so the sweep hands its output to the page as it goes: every
// ~100 ms the bytes written since the last hand-over go to Module.onOutput
// (which posts them). The output is buffered all the same (kStreamBuffer):
// unbuffered, every piece of a row was a write of its own, and a check of
// the clock, which cost a long sweep more than its rows. Stopping is the page's: it ends the worker, keeping the complete
// rows it has, as a signal stops quorix-cli between two rows.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // fopencookie
#endif
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "numbertext.h"

namespace {

// The interval between two hand-overs of a streaming run's output.
constexpr double kHandOverMilliseconds = 100.0;
// A sweep's table stays in the page's memory until it is downloaded: at
// about 140 bytes a row, a million rows are 140 MB. A larger one is refused
// by the command line's own limit, with its message, before the first row.
constexpr std::int64_t kMaxSweepRows = 1000000;
// A streaming run's standard output buffer: some hundred rows, filled in a
// few milliseconds by the fastest sweep, so the hand-overs keep their pace.
constexpr std::size_t kStreamBuffer = 32 * 1024;
// The loop's points per branch, as many as the command line allows.
constexpr int kMaxLoopPoints = 1000000;

struct Stream {
  std::string text;     // what was written and not yet handed over
  bool streaming = false;
  double lastHandOver = 0.0;
};

Stream gOut;
Stream gErr;

// The worker copies the bytes before the memory can move.
EM_JS(void, HandOverBytes, (const char* data, int size), { Module["onOutput"](HEAPU8.subarray(data, data + size)); });

void HandOver(Stream& stream) {
  if (stream.text.empty()) return;
  HandOverBytes(stream.text.data(), static_cast<int>(stream.text.size()));
  stream.text.clear();
  stream.lastHandOver = emscripten_get_now();
}

ssize_t WriteStream(void* cookie, const char* data, std::size_t size) {
  auto& stream = *static_cast<Stream*>(cookie);
  stream.text.append(data, size);
  if (stream.streaming && emscripten_get_now() - stream.lastHandOver >= kHandOverMilliseconds) HandOver(stream);
  return static_cast<ssize_t>(size);
}

std::FILE* OpenStream(Stream& stream, bool streaming) {
  std::FILE* file = fopencookie(&stream, "w", cookie_io_functions_t{nullptr, WriteStream, nullptr, nullptr});
  static char buffer[kStreamBuffer];
  if (file != nullptr && streaming) std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
  return file;
}

}  // namespace

extern "C" {

// Runs quorix-cli with `count` arguments (after the program's name), each
// NUL-terminated, one after the other in `arguments`. Returns its exit
// status. The output is then quorix_web_output(), the messages
// quorix_web_errors(); with `streaming`, the output has gone to
// Module.onOutput instead, the last of it before the return.
EMSCRIPTEN_KEEPALIVE int quorix_web_run(const char* arguments, int count, int streaming) {
  std::vector<const char*> argv{"quorix-cli"};
  for (int i = 0; i < count; ++i) {
    argv.push_back(arguments);
    arguments += std::char_traits<char>::length(arguments) + 1;
  }
  gOut = Stream{};
  gErr = Stream{};
  gOut.streaming = streaming != 0;
  gOut.lastHandOver = emscripten_get_now();

  quorix::cli::CliSettings settings;
  settings.out = OpenStream(gOut, gOut.streaming);
  settings.err = OpenStream(gErr, false);
  settings.maxSweepRows = kMaxSweepRows;
  settings.maxLoopPoints = kMaxLoopPoints;
  int status = 1;
  if (settings.out != nullptr && settings.err != nullptr) {
    status = quorix::cli::RunCli(static_cast<int>(argv.size()), argv.data(), settings);
  } else {
    gErr.text = "quorix-cli: cannot open the output streams\n";
  }
  if (settings.out != nullptr) std::fclose(settings.out);
  if (settings.err != nullptr) std::fclose(settings.err);
  if (gOut.streaming) HandOver(gOut);
  return status;
}

EMSCRIPTEN_KEEPALIVE const char* quorix_web_output() { return gOut.text.data(); }
EMSCRIPTEN_KEEPALIVE int quorix_web_output_size() { return static_cast<int>(gOut.text.size()); }
EMSCRIPTEN_KEEPALIVE const char* quorix_web_errors() { return gErr.text.data(); }
EMSCRIPTEN_KEEPALIVE int quorix_web_errors_size() { return static_cast<int>(gErr.text.size()); }

// What the window's β field shows after γ is typed: FormatPlainNumber(1 − γ)
// of γ as the field reads it. Empty for a γ beyond the range of a double,
// where β keeps its text.
EMSCRIPTEN_KEEPALIVE const char* quorix_web_beta(const char* gammaText) {
  static std::string beta;
  try {
    beta = quorix::FormatPlainNumber(1.0 - quorix::ParseNumber(gammaText));
  } catch (const std::exception&) {
    beta.clear();
  }
  return beta.c_str();
}

// The rows of the sweep from … to … step … (N + 1), for the progress bar's
// end; −1 when the range is one the sweep refuses (it says why itself).
EMSCRIPTEN_KEEPALIVE double quorix_web_sweep_rows(const char* from, const char* to, const char* step) {
  try {
    const std::int32_t n =
        quorix::SweepStepCount(quorix::ParseNumber(from), quorix::ParseNumber(to), quorix::ParseNumber(step));
    return n < 0 ? 0.0 : static_cast<double>(n) + 1.0;
  } catch (const std::exception&) {
    return -1.0;
  }
}

}  // extern "C"
