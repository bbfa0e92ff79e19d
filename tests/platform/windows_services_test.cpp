// The Windows services against the real file system and real processes (on Windows, or under Wine).
#include "system_services.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>

#include "console.h"

namespace quorix::platform {
namespace {

// The file's bytes, opened by its wide name: independent of the services' own UTF-8 widening.
std::string ReadWide(const std::wstring& path) {
  std::FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return "<missing>";
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

// A fresh folder whose name holds a blank and letters beyond ASCII, removed afterwards.
class WindowsServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    wide_ = std::wstring(temp) + L"quorix \u00e9\u03bc " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(wide_.c_str(), nullptr));
    // The same folder as UTF-8, written out byte by byte.
    char narrow[4 * MAX_PATH] = {};
    ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, wide_.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr), 0);
    dir_ = narrow;
  }
  void TearDown() override {
    DeleteFileW((wide_ + L"\\r\u00e9sultats 1.out").c_str());
    RemoveDirectoryW(wide_.c_str());
  }
  std::wstring wide_;
  std::string dir_;
  SystemServices services_;
};

TEST_F(WindowsServicesTest, WritesCrLfUnderAUtf8NameAndReadsItBack) {
  ASSERT_NE(dir_.find("\xC3\xA9\xCE\xBC"), std::string::npos);  // é μ in UTF-8
  const std::string path = JoinPath(dir_, "r\xC3\xA9sultats 1.out");
  auto file = services_.OpenForOutput(path);
  for (const char* line : {"a\tb", "", "0.10"}) file->WriteLine(line);
  file->Close();
  EXPECT_EQ(ReadWide(wide_ + L"\\r\u00e9sultats 1.out"), "a\tb\r\n\r\n0.10\r\n");
  auto input = services_.OpenForInput(path);
  std::string read;
  char buffer[4];
  for (std::size_t got; (got = input->Read(buffer, sizeof buffer)) > 0;) read.append(buffer, got);
  EXPECT_EQ(read, "a\tb\r\n\r\n0.10\r\n");
  EXPECT_TRUE(services_.CanOpenForInput(path));
  for (const std::string& bad : {JoinPath(dir_, "missing"), dir_}) {
    EXPECT_FALSE(services_.CanOpenForInput(bad)) << bad;
    EXPECT_THROW(services_.OpenForInput(bad), PlatformError) << bad;
  }
  EXPECT_THROW(services_.OpenForOutput(JoinPath(JoinPath(dir_, "missing"), "results.out")), PlatformError);
  EXPECT_THROW(services_.OpenForOutput(std::string("\xFF\xFE bad")), PlatformError);  // not UTF-8
}

TEST_F(WindowsServicesTest, ProgramFactsFoldersAndPrograms) {
  EXPECT_EQ(services_.ExecutableBaseName(), "platform_test");
  // The build folder as this machine names it: compared without its drive and with '/' throughout.
  std::string folder = services_.ExecutableFolder();
  std::replace(folder.begin(), folder.end(), '\\', '/');
  if (folder.size() > 1 && folder[1] == ':') folder.erase(0, 2);
  std::string expected = QUORIX_TEST_BINARY_DIR;
  if (expected.size() > 1 && expected[1] == ':') expected.erase(0, 2);
  EXPECT_EQ(folder, expected);
  EXPECT_TRUE(services_.CanWriteFolder(dir_));
  EXPECT_FALSE(services_.CanWriteFolder(JoinPath(dir_, "missing")));
  EXPECT_FALSE(services_.StartProgram(JoinPath(dir_, "missing.exe")));
  EXPECT_THROW(services_.UserDataFolder(), PlatformError);
  EXPECT_THROW(services_.SaveSetting("Quorix", "Inputs", "n", "2"), PlatformError);
  const OsVersion version = services_.QueryOsVersion();
  EXPECT_TRUE(version.ok);
  EXPECT_EQ(version.platformId, static_cast<std::uint32_t>(VER_PLATFORM_WIN32_NT));
  EXPECT_GE(version.major, 5u);
  services_.InitCommonControls();  // must not fail without a window
}

// The viewer gets the path as one argument, blanks included; a viewer that is not there is an error.
TEST_F(WindowsServicesTest, ViewerStartsWithThePathOrIsReportedMissing) {
  const std::string path = JoinPath(dir_, "r\xC3\xA9sultats 1.out");
  services_.OpenForOutput(path)->Close();
  // cmd.exe copies the file it is given, by its one quoted argument, into its working folder (this test's).
  const std::wstring copy = L"r\u00e9sultats 1.out";
  DeleteFileW(copy.c_str());
  SystemServices("cmd.exe /c copy /y").OpenInViewer(path);
  bool copied = false;
  for (int i = 0; i < 500 && !copied; ++i) {
    copied = ReadWide(copy) != "<missing>";
    if (!copied) Sleep(10);
  }
  EXPECT_TRUE(copied);
  Sleep(100);  // cmd.exe may still hold it
  DeleteFileW(copy.c_str());
  EXPECT_THROW(SystemServices("quorix-no-such-viewer-program.exe").OpenInViewer(path), PlatformError);
}

TEST(WindowsPaths, JoinSplitAndName) {
  struct Case {
    const char *path, *folder, *base;
  };
  for (const Case& c : {Case{"C:\\Quorix\\quorix-cli.exe", "C:\\Quorix", "quorix-cli"},
                        Case{"C:\\quorix.exe", "C:\\", "quorix"}, Case{"D:/data/run.v2.csv", "D:/data", "run.v2"},
                        Case{"results.out", ".", "results"}}) {
    EXPECT_EQ(FolderOfPath(c.path), c.folder) << c.path;
    EXPECT_EQ(BaseNameOfPath(c.path), c.base) << c.path;
  }
  EXPECT_EQ(JoinPath("C:\\Quorix", "results.out"), "C:\\Quorix\\results.out");
  EXPECT_EQ(JoinPath("C:/Quorix/", "results.out"), "C:/Quorix/results.out");
  EXPECT_EQ(JoinPath("", "results.out"), "results.out");
}

// Ctrl-C and Ctrl-Break sent to the console's processes are kept, the first one only, while a catcher lives.
TEST(WindowsConsole, InterruptCatcherKeepsTheFirstRequest) {
  if (GetConsoleWindow() == nullptr && !AttachConsole(ATTACH_PARENT_PROCESS) && !AllocConsole()) {
    GTEST_SKIP() << "no console";
  }
  InterruptCatcher catcher;
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0));
  for (int i = 0; i < 500 && catcher.Caught() == 0; ++i) Sleep(10);
  ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  Sleep(50);
  EXPECT_EQ(catcher.Caught(), SIGTERM);
}

}  // namespace
}  // namespace quorix::platform
