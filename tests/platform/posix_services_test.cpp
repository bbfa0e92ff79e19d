#include "posix_services.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace quorix::platform {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A fresh folder for each test, removed afterwards.
class PosixServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quorix platform XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, ignored);
    fs::remove_all(dir_, ignored);
  }
  fs::path dir_;
  PosixServices services_;
};

TEST_F(PosixServicesTest, WritesLinesWithCrLfAndTruncatesALongerFile) {
  const fs::path path = dir_ / "results.out";
  WriteAll(path, std::string(5000, 'x') + "\n");
  auto file = services_.OpenForOutput(path.string());
  EXPECT_EQ(fs::file_size(path), 0u) << "truncated on opening";
  file->WriteLine("a\tb");
  file->WriteLine("");
  file->WriteLine("0.10");
  file->Close();
  file->Close();  // a second close does nothing
  EXPECT_EQ(ReadAll(path), "a\tb\r\n\r\n0.10\r\n");
  EXPECT_TRUE(services_.CanOpenForInput(path.string()));
}

TEST_F(PosixServicesTest, FileThatCannotBeCreatedThrows) {
  WriteAll(dir_ / "plain", "not a folder");
  EXPECT_THROW(services_.OpenForOutput((dir_ / "missing" / "results.out").string()), PlatformError);
  EXPECT_THROW(services_.OpenForOutput((dir_ / "plain" / "results.out").string()), PlatformError);
  EXPECT_THROW(services_.OpenForOutput(dir_.string()), PlatformError);
}

TEST_F(PosixServicesTest, ReadOnlyFolderThrows) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: folder permissions do not stop writing";
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(services_.OpenForOutput((dir_ / "results.out").string()), PlatformError);
}

// /dev/full accepts the open and refuses every write with ENOSPC: the
// failure shows in WriteLine or, once the buffer is flushed, in Close.
TEST_F(PosixServicesTest, FullDiskIsAFailure) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  auto file = services_.OpenForOutput("/dev/full");
  try {
    file->WriteLine("Umax/Uy\tZa");
    file->Close();
    FAIL() << "writing to a full device succeeded";
  } catch (const PlatformError& e) {
    EXPECT_NE(std::string(e.what()).find("No space"), std::string::npos) << e.what();
  }
}

TEST_F(PosixServicesTest, CanOpenForInputOnlyForExistingFiles) {
  EXPECT_FALSE(services_.CanOpenForInput((dir_ / "missing").string()));
  EXPECT_FALSE(services_.CanOpenForInput(dir_.string()));
}

TEST_F(PosixServicesTest, ViewerThatCannotStartThrows) {
  PosixServices services("quorix-no-such-viewer-program");
  EXPECT_THROW(services.OpenInViewer((dir_ / "results.out").string()), PlatformError);
}

// Processes whose parent is this one, running or exited but not collected.
int ChildProcesses() {
  int children = 0;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  while (const dirent* entry = readdir(proc)) {
    std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid …; comm may hold blanks and parentheses.
    std::istringstream rest(line.substr(line.rfind(')') + 1));
    char state = 0;
    long ppid = 0;
    rest >> state >> ppid;
    if (ppid == getpid()) ++children;
  }
  closedir(proc);
  return children;
}

// The viewer gets the path as one argument, blanks and shell characters
// included, and is reaped once it ends.
TEST_F(PosixServicesTest, ViewerReceivesThePathAsOneArgumentAndIsReaped) {
  const fs::path record = dir_ / "argv.txt";
  const fs::path viewer = dir_ / "viewer";
  WriteAll(viewer, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" + record.string() + ".tmp'\nmv '" + record.string() +
                       ".tmp' '" + record.string() + "'\n");
  fs::permissions(viewer, fs::perms::owner_all);
  const std::string path = (dir_ / "a folder; $HOME" / "results 1.out").string();

  PosixServices services(viewer.string());
  services.OpenInViewer(path);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!fs::exists(record) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(fs::exists(record)) << "the viewer did not run";
  EXPECT_EQ(ReadAll(record), "1\n" + path + "\n");

  // Not reaped, the ended viewer would stay behind as a zombie child.
  while (ChildProcesses() > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(ChildProcesses(), 0);
}

TEST_F(PosixServicesTest, StartProgramReportsWhetherItStarted) {
  EXPECT_TRUE(services_.StartProgram("/bin/true"));
  EXPECT_FALSE(services_.StartProgram((dir_ / "missing").string()));
}

TEST(PosixServices, ExecutableFactsNameThisTest) {
  PosixServices services;
  EXPECT_EQ(fs::path(services.ExecutableFolder()), fs::canonical(QUORIX_TEST_BINARY_DIR));
  EXPECT_EQ(services.ExecutableBaseName(), "platform_test");
}

TEST(JoinPath, AddsOneSeparator) {
  EXPECT_EQ(JoinPath("/opt/quorix", "results.out"), "/opt/quorix/results.out");
  EXPECT_EQ(JoinPath("/", "results.out"), "/results.out");
  EXPECT_EQ(JoinPath("", "results.out"), "results.out");
}

}  // namespace
}  // namespace quorix::platform
