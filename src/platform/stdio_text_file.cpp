#include "stdio_text_file.h"

#include <cerrno>
#include <string_view>
#include <system_error>
#include <utility>

namespace quorix::platform {

namespace {

class StdioTextFile final : public TextFile {
 public:
  StdioTextFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  // A file abandoned on a failure path is closed quietly: its error, if
  // any, has already been reported.
  ~StdioTextFile() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  StdioTextFile(const StdioTextFile&) = delete;
  StdioTextFile& operator=(const StdioTextFile&) = delete;

  void WriteLine(std::string_view text) override {
    if (file_ == nullptr) throw PlatformError("cannot write " + path_ + ": the file is closed");
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fwrite("\r\n", 1, 2, file_) != 2) {
      throw PlatformError("cannot write " + path_ + ": " + ErrorText(errno));
    }
  }

  // The buffered tail reaches the file only here, so a full disk may show
  // up in fflush or even in fclose: both results count.
  void Close() override {
    if (file_ == nullptr) return;
    std::FILE* file = std::exchange(file_, nullptr);
    errno = 0;
    const bool flushed = std::fflush(file) == 0;
    int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (flushed && !closed) error = errno;
    if (!flushed || !closed) throw PlatformError("cannot write " + path_ + ": " + ErrorText(error));
  }

 private:
  std::FILE* file_;
  std::string path_;
};

class StdioInputFile final : public InputFile {
 public:
  StdioInputFile(std::FILE* file, std::string path, bool owned)
      : file_(file), path_(std::move(path)), owned_(owned) {}
  ~StdioInputFile() override {
    if (owned_) std::fclose(file_);
  }
  StdioInputFile(const StdioInputFile&) = delete;
  StdioInputFile& operator=(const StdioInputFile&) = delete;

  std::size_t Read(char* buffer, std::size_t capacity) override {
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, capacity, file_);
    // A short count is the end of the file or an error; only ferror tells.
    if (got < capacity && std::ferror(file_) != 0) throw PlatformError("cannot read " + path_ + ": " + ErrorText(errno));
    return got;
  }

 private:
  std::FILE* file_;
  std::string path_;
  bool owned_;
};

}  // namespace

std::unique_ptr<InputFile> AdoptInputFile(std::FILE* file, std::string path) {
  return std::make_unique<StdioInputFile>(file, std::move(path), true);
}

std::unique_ptr<InputFile> BorrowInputFile(std::FILE* file, std::string name) {
  return std::make_unique<StdioInputFile>(file, std::move(name), false);
}

std::string ErrorText(int error) {
  return error != 0 ? std::generic_category().message(error) : std::string("unknown error");
}

std::unique_ptr<TextFile> AdoptTextFile(std::FILE* file, std::string path) {
  return std::make_unique<StdioTextFile>(file, std::move(path));
}

}  // namespace quorix::platform
