// The start-up routine against the fake services: the Windows version
// classification, the manifest's bytes, and every branch of the sequence —
// other versions, the first start on NT 5.1 (relaunch), later starts, a
// refused relaunch, an unwritable folder, a failing settings store, a
// renamed executable and the guard against relaunching for ever.
#include "visual_styles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_services.h"

namespace quorix::platform {
// Test names and failure messages show the version, not its bytes.
void PrintTo(const OsVersion& v, std::ostream* out) {
  if (!v.ok) {
    *out << "query failed";
  } else {
    *out << "platform " << v.platformId << ", " << v.major << "." << v.minor;
  }
}
}  // namespace quorix::platform

namespace quorix::startup {
namespace {

using platform::OsVersion;
using testing::FakeServices;

constexpr std::uint32_t kWindows9x = 1;
constexpr std::uint32_t kWindowsNt = 2;

OsVersion Version(std::uint32_t platform, std::uint32_t major, std::uint32_t minor) {
  return OsVersion{true, platform, major, minor};
}

// The manifest, typed out line by line.
std::string ExpectedManifest() {
  const std::vector<std::string> lines = {
      R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
      R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)",
      R"(<assemblyIdentity version="1.0.0.0" processorArchitecture="x86" name="prjThemed" type="Win32" />)",
      R"(<dependency>)",
      R"(<dependentAssembly>)",
      R"(<assemblyIdentity type="Win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
      R"(processorArchitecture="x86" publicKeyToken="6595b64144ccf1df" language="*" />)",
      R"(</dependentAssembly>)",
      R"(</dependency>)",
      R"(</assembly>)",
  };
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

#ifdef _WIN32
constexpr const char* kExecutableSuffix = ".exe";
#else
constexpr const char* kExecutableSuffix = "";
#endif

struct VersionCase {
  OsVersion version;
  int code;
  const char* release;
};

void PrintTo(const VersionCase& c, std::ostream* out) { *out << c.release; }

class WindowsVersionCodeTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(WindowsVersionCodeTest, Classifies) {
  const VersionCase& c = GetParam();
  EXPECT_EQ(WindowsVersionCode(c.version), c.code) << c.release;
  FakeServices services;
  services.version = c.version;
  EXPECT_EQ(WindowsVersionCode(services), c.code) << c.release;
}

INSTANTIATE_TEST_SUITE_P(
    Releases, WindowsVersionCodeTest,
    ::testing::Values(VersionCase{OsVersion{}, 0, "query failed"},
                      VersionCase{OsVersion{false, kWindowsNt, 5, 1}, 0, "query failed, fields ignored"},
                      VersionCase{Version(kWindowsNt, 5, 1), 6, "NT 5.1"},
                      VersionCase{Version(kWindowsNt, 5, 0), 5, "NT 5.0"},
                      VersionCase{Version(kWindowsNt, 4, 0), 4, "NT 4.0"},
                      VersionCase{Version(kWindowsNt, 4, 10), 4, "NT 4.x"},
                      VersionCase{Version(kWindows9x, 4, 90), 3, "9x 4.90"},
                      VersionCase{Version(kWindows9x, 5, 0), 2, "9x, later major version"},
                      VersionCase{Version(kWindows9x, 4, 10), 2, "9x 4.10"},
                      VersionCase{Version(0, 4, 10), 2, "any platform 4.10"},
                      VersionCase{Version(kWindows9x, 4, 0), 1, "9x 4.0"},
                      VersionCase{Version(kWindowsNt, 5, 2), 0, "NT 5.2"},
                      VersionCase{Version(kWindowsNt, 6, 1), 0, "NT 6.1"},
                      VersionCase{Version(kWindowsNt, 10, 0), 0, "NT 10.0"},
                      VersionCase{Version(kWindowsNt, 3, 51), 0, "NT 3.51"},
                      // Compared as signed 32-bit integers: 0xFFFFFFFF is -1,
                      // not greater than 0; 0x80000000 is not greater than 4.
                      VersionCase{Version(kWindows9x, 4, 0xFFFFFFFFu), 0, "minor -1"},
                      VersionCase{Version(kWindows9x, 0x80000000u, 0), 0, "major -2^31"}));

TEST(ManifestTest, TextIsTheNineLinesByteForByte) {
  EXPECT_EQ(kManifestText.size(), 484u);
  EXPECT_EQ(std::string(kManifestText), ExpectedManifest());
  for (char c : kManifestText) EXPECT_LT(static_cast<unsigned char>(c), 0x80u);
}

TEST(ManifestTest, PathsFollowTheExecutable) {
  FakeServices services;
  services.baseName = "bw-energy";
  EXPECT_EQ(ManifestPath(services), platform::JoinPath(services.folder, "bw-energy.exe.MANIFEST"));
  EXPECT_EQ(RelaunchTarget(services), platform::JoinPath(services.folder, std::string("bw-energy") + kExecutableSuffix));
}

TEST(ManifestTest, WriteAndExistence) {
  FakeServices services;
  const std::string path = ManifestPath(services);
  EXPECT_FALSE(ManifestExists(services));
  services.files[path] = "something older and longer than the manifest\r\n" + std::string(600, 'x');
  EXPECT_TRUE(ManifestExists(services));
  EXPECT_TRUE(WriteManifest(services));
  EXPECT_EQ(services.files.at(path), ExpectedManifest());
  EXPECT_EQ(services.openFiles, 0);
  services.unreadable.insert(path);
  EXPECT_FALSE(ManifestExists(services));

  // A write that fails leaves the lines before it.
  FakeServices failing;
  failing.failWriteAtLine = 4;
  EXPECT_FALSE(WriteManifest(failing));
  EXPECT_EQ(failing.files.at(ManifestPath(failing)), ExpectedManifest().substr(0, ExpectedManifest().find("<depend")));
  EXPECT_EQ(failing.openFiles, 0);

  FakeServices unwritable;
  unwritable.failOpenForOutput = true;
  EXPECT_FALSE(WriteManifest(unwritable));
  EXPECT_TRUE(unwritable.files.empty());
}

TEST(ShellExecuteFileTest, StartsOnlyWhatTheServicesCanStart) {
  FakeServices services;
  EXPECT_TRUE(ShellExecuteFile(services, "/opt/q/quorix", "Open", nullptr, nullptr, kShowNoActivate));
  EXPECT_EQ(services.startedPrograms, std::vector<std::string>{"/opt/q/quorix"});
  // The services start a program with no arguments, in its own folder,
  // shown without activation; anything else is refused, not approximated.
  EXPECT_FALSE(ShellExecuteFile(services, "/opt/q/quorix", "Open", "-x", nullptr, kShowNoActivate));
  EXPECT_FALSE(ShellExecuteFile(services, "/opt/q/quorix", "Open", nullptr, "/tmp", kShowNoActivate));
  EXPECT_FALSE(ShellExecuteFile(services, "/opt/q/quorix", "Print", nullptr, nullptr, kShowNoActivate));
  EXPECT_FALSE(ShellExecuteFile(services, "/opt/q/quorix", "Open", nullptr, nullptr, 1));
  EXPECT_EQ(services.startedPrograms.size(), 1u);
  services.startProgramResult = false;
  EXPECT_FALSE(ShellExecuteFile(services, "/opt/q/quorix", "Open", nullptr, nullptr, kShowNoActivate));
}

TEST(RelaunchMarkerTest, IsTakenOnce) {
#ifndef _WIN32
  setenv(kRelaunchMarker, "1", 1);
  EXPECT_TRUE(TakeRelaunchMarker());
  EXPECT_EQ(std::getenv(kRelaunchMarker), nullptr);
  EXPECT_FALSE(TakeRelaunchMarker());
#endif
}

// Runs the routine and tells what became of the process.
struct Outcome {
  int windowsShown = 0;
  bool ended = false;
};

Outcome StartUp(FakeServices& services, bool relaunchedCopy = false) {
  Outcome outcome;
  try {
    VisualStylesStartup(services, [&] { ++outcome.windowsShown; }, relaunchedCopy);
  } catch (const FakeServices::ProcessEnded&) {
    outcome.ended = true;
  }
  return outcome;
}

using Setting = FakeServices::Setting;

class OtherVersionsTest : public ::testing::TestWithParam<OsVersion> {};

TEST_P(OtherVersionsTest, ShowTheWindowAndWriteNothing) {
  for (const bool manifestThere : {false, true}) {
    FakeServices services;
    services.version = GetParam();
    const std::string path = ManifestPath(services);
    if (manifestThere) services.files[path] = "an older manifest";
    const Outcome outcome = StartUp(services);
    EXPECT_EQ(outcome.windowsShown, 1);
    EXPECT_FALSE(outcome.ended);
    EXPECT_EQ(services.CallCount("OpenForOutput"), 0);
    if (manifestThere) {
      EXPECT_EQ(services.files.at(path), "an older manifest");
    }
    EXPECT_TRUE(services.settings.empty());
    EXPECT_EQ(services.initCommonControlsCalls, 0);
    EXPECT_EQ(services.CallCount("StartProgram"), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Codes0To5, OtherVersionsTest,
                         ::testing::Values(OsVersion{}, Version(kWindows9x, 4, 0), Version(kWindows9x, 4, 10),
                                           Version(kWindows9x, 4, 90), Version(kWindowsNt, 4, 0),
                                           Version(kWindowsNt, 5, 0), Version(kWindowsNt, 5, 2),
                                           Version(kWindowsNt, 6, 0)));

class Nt51Test : public ::testing::Test {
 protected:
  void SetUp() override {
    services.version = Version(kWindowsNt, 5, 1);
    manifest = ManifestPath(services);
  }
  void TearDown() override { TakeRelaunchMarker(); }
  FakeServices services;
  std::string manifest;
};

TEST_F(Nt51Test, FirstStartWritesTheManifestAndRelaunches) {
  std::string markerAtStart;
  services.onCall = [&](std::string_view call) {
    if (call == "StartProgram") {
      const char* marker = std::getenv(kRelaunchMarker);
      markerAtStart = marker ? marker : "";
    }
  };
  const Outcome outcome = StartUp(services);
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(outcome.windowsShown, 0);
  EXPECT_EQ(services.files.at(manifest), ExpectedManifest());
  EXPECT_EQ(services.initCommonControlsCalls, 1);
  EXPECT_EQ(services.settings, (std::vector<Setting>{{"quorix", "Settings", "CanRun", "YES"}}));
  EXPECT_EQ(services.startedPrograms,
            std::vector<std::string>{platform::JoinPath(services.folder, std::string("quorix") + kExecutableSuffix)});
  EXPECT_FALSE(markerAtStart.empty()) << "the new copy must know it was relaunched";
  // Initialised before the relaunch decision; the setting is stored before
  // the new copy starts; the process ends right after.
  const auto& calls = services.calls;
  const auto at = [&](const char* name) { return std::find(calls.begin(), calls.end(), name) - calls.begin(); };
  EXPECT_LT(at("InitCommonControls"), at("SaveSetting"));
  EXPECT_LT(at("SaveSetting"), at("StartProgram"));
  EXPECT_EQ(calls.back(), "EndProcess");
}

TEST_F(Nt51Test, LaterStartRewritesTheManifestAndShowsTheWindow) {
  services.files[manifest] = ExpectedManifest();
  const Outcome outcome = StartUp(services);
  EXPECT_EQ(outcome.windowsShown, 1);
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(services.CallCount("OpenForOutput"), 1);
  EXPECT_EQ(services.files.at(manifest), ExpectedManifest());
  EXPECT_EQ(services.initCommonControlsCalls, 1);
  EXPECT_TRUE(services.settings.empty());
  EXPECT_EQ(services.CallCount("StartProgram"), 0);
}

TEST_F(Nt51Test, RefusedRelaunchStoresNoAndShowsTheWindow) {
  services.startProgramResult = false;
  const Outcome outcome = StartUp(services);
  EXPECT_EQ(outcome.windowsShown, 1);
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(services.settings,
            (std::vector<Setting>{{"quorix", "Settings", "CanRun", "YES"}, {"quorix", "Settings", "CanRun", "NO"}}));
  EXPECT_EQ(std::getenv(kRelaunchMarker), nullptr) << "no copy was started, the mark must not linger";
}

TEST_F(Nt51Test, UnwritableFolderMeansNoRelaunchAndNoSetting) {
  services.failOpenForOutput = true;
  const Outcome outcome = StartUp(services);
  EXPECT_EQ(outcome.windowsShown, 1);
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(services.initCommonControlsCalls, 0);
  EXPECT_TRUE(services.settings.empty());
  EXPECT_EQ(services.CallCount("StartProgram"), 0);
}

TEST_F(Nt51Test, PartlyWrittenManifestStaysAndNothingElseHappens) {
  services.failWriteAtLine = 6;
  const Outcome outcome = StartUp(services);
  EXPECT_EQ(outcome.windowsShown, 1);
  EXPECT_EQ(services.files.at(manifest), ExpectedManifest().substr(0, ExpectedManifest().find("<assemblyIdentity type")));
  EXPECT_EQ(services.initCommonControlsCalls, 0);
  EXPECT_TRUE(services.settings.empty());
  EXPECT_EQ(services.CallCount("StartProgram"), 0);
}

TEST_F(Nt51Test, FailingSettingsStoreDoesNotStopTheRelaunch) {
  services.failSettings = true;
  const Outcome outcome = StartUp(services);
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(services.CallCount("SaveSetting"), 1);
  EXPECT_EQ(services.startedPrograms.size(), 1u);

  FakeServices refused;
  refused.version = Version(kWindowsNt, 5, 1);
  refused.failSettings = true;
  refused.startProgramResult = false;
  EXPECT_EQ(StartUp(refused).windowsShown, 1);
  EXPECT_EQ(refused.CallCount("SaveSetting"), 2);
}

TEST_F(Nt51Test, RenamedExecutableRenamesEverything) {
  services.baseName = "bw-energy";
  const Outcome outcome = StartUp(services);
  EXPECT_TRUE(outcome.ended);
  EXPECT_EQ(services.files.count(platform::JoinPath(services.folder, "bw-energy.exe.MANIFEST")), 1u);
  EXPECT_EQ(services.settings, (std::vector<Setting>{{"bw-energy", "Settings", "CanRun", "YES"}}));
  EXPECT_EQ(services.startedPrograms,
            std::vector<std::string>{platform::JoinPath(services.folder, std::string("bw-energy") + kExecutableSuffix)});
}

TEST_F(Nt51Test, UnreadableManifestRelaunchesOnceOnly) {
  // The manifest can be written but never opened for reading: the first
  // copy relaunches, the relaunched copy shows its window instead of
  // relaunching again.
  services.unreadable.insert(manifest);
  EXPECT_TRUE(StartUp(services).ended);

  FakeServices relaunched;
  relaunched.version = Version(kWindowsNt, 5, 1);
  relaunched.unreadable.insert(ManifestPath(relaunched));
  const Outcome outcome = StartUp(relaunched, /*relaunchedCopy=*/true);
  EXPECT_EQ(outcome.windowsShown, 1);
  EXPECT_FALSE(outcome.ended);
  EXPECT_EQ(relaunched.files.at(ManifestPath(relaunched)), ExpectedManifest());
  EXPECT_EQ(relaunched.initCommonControlsCalls, 1);
  EXPECT_TRUE(relaunched.settings.empty());
  EXPECT_EQ(relaunched.CallCount("StartProgram"), 0);
}

TEST_F(Nt51Test, RelaunchedCopyWithTheManifestRunsNormally) {
  services.files[manifest] = ExpectedManifest();
  const Outcome outcome = StartUp(services, /*relaunchedCopy=*/true);
  EXPECT_EQ(outcome.windowsShown, 1);
  EXPECT_EQ(services.initCommonControlsCalls, 1);
}

TEST(VisualStylesStartupTest, AWindowThatFailsToLoadIsAbandonedQuietly) {
  FakeServices services;
  EXPECT_NO_THROW(VisualStylesStartup(services, [] { throw std::runtime_error("no display"); }, false));
}

}  // namespace
}  // namespace quorix::startup
