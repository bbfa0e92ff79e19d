// The POSIX services against the real file system and real processes.
#include "system_services.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quorix::platform {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

void WriteAll(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// waitid's errno on looking for a child without collecting it: ECHILD once none is left, 0 while one is.
int WaitidError() {
  siginfo_t info{};
  return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 ? 0 : errno;
}

// A fresh folder for each test, removed afterwards.
class PosixServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quorix platform XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::error_code ignored; fs::remove_all(dir_, ignored); }
  fs::path dir_;
  SystemServices services_;
};

// Written with CR LF over a longer file (truncated on opening), read back byte for byte in pieces.
TEST_F(PosixServicesTest, WritesLinesWithCrLfReadsThemBackAndFailsOnAFullDisk) {
  const fs::path path = dir_ / "results.out";
  WriteAll(path, std::string(5000, 'x') + "\n");
  auto file = services_.OpenForOutput(path.string());
  for (const char* line : {"a\tb", "", "0.10"}) file->WriteLine(line);
  file->Close();
  file->Close();  // a second close does nothing
  EXPECT_EQ(ReadAll(path), "a\tb\r\n\r\n0.10\r\n");
  auto input = services_.OpenForInput(path.string());
  std::string read;
  char buffer[4];
  for (std::size_t got; (got = input->Read(buffer, sizeof buffer)) > 0;) read.append(buffer, got);
  EXPECT_EQ(read, "a\tb\r\n\r\n0.10\r\n");
  EXPECT_TRUE(services_.CanOpenForInput(path.string()));
  // Neither a missing file nor a folder (which POSIX lets one open) counts.
  for (const fs::path& bad : {dir_ / "missing", dir_}) {
    EXPECT_FALSE(services_.CanOpenForInput(bad.string())) << bad;
    EXPECT_THROW(services_.OpenForInput(bad.string()), PlatformError) << bad;
  }
  EXPECT_THROW(services_.OpenForOutput((dir_ / "missing" / "results.out").string()), PlatformError);
  // /dev/full refuses every write with ENOSPC: in WriteLine or, once the buffer is flushed, in Close.
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  auto full = services_.OpenForOutput("/dev/full");
  try {
    full->WriteLine("Umax/Uy\tZa");
    full->Close();
    ADD_FAILURE();
  } catch (const PlatformError& e) {
    EXPECT_NE(std::string(e.what()).find("No space"), std::string::npos) << e.what();
  }
}

TEST_F(PosixServicesTest, ProgramFactsStartsAndWritableFolders) {
#ifdef __EMSCRIPTEN__
  // WebAssembly under Node.js: the process and its path are Node's, and no program can be started.
  EXPECT_FALSE(services_.StartProgram("/bin/true"));
#else
  EXPECT_EQ(fs::path(services_.ExecutableFolder()), fs::canonical(QUORIX_TEST_BINARY_DIR));
  EXPECT_EQ(services_.ExecutableBaseName(), "platform_test");
  EXPECT_TRUE(services_.StartProgram("/bin/true"));
#endif
  EXPECT_FALSE(services_.StartProgram((dir_ / "missing").string()));
  EXPECT_TRUE(services_.CanWriteFolder(dir_.string()));
  EXPECT_FALSE(services_.CanWriteFolder((dir_ / "missing").string()));
  EXPECT_FALSE(services_.CanWriteFolder("/dev/null"));  // writable, but no folder
  // Root may write anywhere; an ordinary user not into a folder without write permission.
  fs::create_directory(dir_ / "locked");
  fs::permissions(dir_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
#ifdef __EMSCRIPTEN__
  // WebAssembly's geteuid() is 0 whoever runs it; the folder's mode decides.
  EXPECT_FALSE(services_.CanWriteFolder((dir_ / "locked").string()));
#else
  EXPECT_EQ(services_.CanWriteFolder((dir_ / "locked").string()), geteuid() == 0);
#endif
  EXPECT_THROW(services_.UserDataFolder(), PlatformError);  // only the toolkit's services have one
}

// The viewer gets the path as one argument, blanks and shell characters included, and is reaped (no zombie).
TEST_F(PosixServicesTest, ViewerReceivesThePathAsOneArgumentAndIsReaped) {
#ifdef __EMSCRIPTEN__
  EXPECT_THROW(SystemServices("/bin/sh").OpenInViewer((dir_ / "results.out").string()), PlatformError);
  GTEST_SKIP() << "WebAssembly starts no programs";
#endif
  const std::string record = (dir_ / "argv.txt").string(), viewer = (dir_ / "viewer").string();
  WriteAll(viewer, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record + ".tmp'\nmv '" + record + ".tmp' '" +
                       record + "'\n");
  fs::permissions(viewer, fs::perms::owner_all);
  const std::string path = (dir_ / "a folder; $HOME" / "results 1.out").string();
  SystemServices(viewer).OpenInViewer(path);
  for (int i = 0; i < 1000 && (!fs::exists(record) || WaitidError() != ECHILD); ++i) usleep(10'000);
  EXPECT_EQ(std::pair(ReadAll(record), WaitidError()), std::pair("1\n" + path + "\n", ECHILD));
  EXPECT_THROW(SystemServices("quorix-no-such-viewer-program").OpenInViewer(path), PlatformError);
}

TEST(PathTexts, FolderBaseNameAndJoin) {
  const char* const cases[][3] = {
      {"/opt/quorix/bin/quorix", "/opt/quorix/bin", "quorix"},
      {"/quorix", "/", "quorix"},                       // the root keeps its separator
      {"quorix.exe", ".", "quorix"},                    // no folder: the current one
      {"/a/b.c/Quorix.v2.bin", "/a/b.c", "Quorix.v2"},  // only the last extension
      {"/home/u/.quorix", "/home/u", ".quorix"}};       // a leading dot is no extension
  for (const auto& [path, folder, base] : cases) {
    EXPECT_EQ(std::pair(FolderOfPath(path), BaseNameOfPath(path)), (std::pair<std::string, std::string>(folder, base)))
        << path;
  }
  EXPECT_EQ(JoinPath("/opt/quorix", "results.out"), "/opt/quorix/results.out");
  EXPECT_EQ(JoinPath("/", "results.out"), "/results.out");
  EXPECT_EQ(JoinPath("", "results.out"), "results.out");
}

}  // namespace
}  // namespace quorix::platform
