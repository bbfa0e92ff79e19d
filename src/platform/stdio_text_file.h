// A text file open for output through <cstdio>, in binary mode, so that
// every line ends in CR LF on every system. Shared by the POSIX and the
// Windows services.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "services.h"

namespace quorix::platform {

// Takes ownership of an open FILE*. `path` is only for error messages.
std::unique_ptr<TextFile> AdoptTextFile(std::FILE* file, std::string path);

// Takes ownership of a FILE* open for binary reading.
std::unique_ptr<InputFile> AdoptInputFile(std::FILE* file, std::string path);

// Reads a FILE* that stays open (standard input); `name` is for messages.
std::unique_ptr<InputFile> BorrowInputFile(std::FILE* file, std::string name);

// The text of an errno value, or "unknown error" for 0.
std::string ErrorText(int error);

}  // namespace quorix::platform
