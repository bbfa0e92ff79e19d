// The start-up routine against the fake services: the Windows version
// classification, the manifest's bytes, and every branch of the sequence.
#include "visual_styles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_services.h"

namespace quorix::startup {
namespace {

using platform::OsVersion;
using testing::FakeServices;

constexpr std::uint32_t k9x = 1;
constexpr std::uint32_t kNt = 2;

OsVersion Version(std::uint32_t platform, std::uint32_t major, std::uint32_t minor) {
  return OsVersion{true, platform, major, minor};
}

// The manifest, typed out line by line.
std::string ExpectedManifest() {
  std::string text;
  for (const char* line :
       {R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)",
        R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)",
        R"(<assemblyIdentity version="1.0.0.0" processorArchitecture="x86" name="prjThemed" type="Win32" />)",
        R"(<dependency>)", R"(<dependentAssembly>)",
        R"(<assemblyIdentity type="Win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
        R"(processorArchitecture="x86" publicKeyToken="6595b64144ccf1df" language="*" />)",
        R"(</dependentAssembly>)", R"(</dependency>)", R"(</assembly>)"}) {
    text.append(line).append("\r\n");
  }
  return text;
}

#ifdef _WIN32
constexpr const char* kExecutableSuffix = ".exe";
#else
constexpr const char* kExecutableSuffix = "";
#endif

TEST(WindowsVersionCode, ClassifiesBySignedPlatformMajorAndMinor) {
  const struct {
    OsVersion version;
    int code;
  } cases[] = {{OsVersion{}, 0},           {{false, kNt, 5, 1}, 0},        {Version(kNt, 5, 1), 6},
               {Version(kNt, 5, 0), 5},    {Version(kNt, 4, 0), 4},        {Version(kNt, 4, 10), 4},
               {Version(k9x, 4, 90), 3},   {Version(k9x, 5, 0), 2},        {Version(k9x, 4, 10), 2},
               {Version(0, 4, 10), 2},     {Version(k9x, 4, 0), 1},        {Version(kNt, 5, 2), 0},
               {Version(kNt, 6, 1), 0},    {Version(kNt, 3, 51), 0},
               // Signed 32-bit comparisons: 0xFFFFFFFF is −1, not greater than
               // 0; 0x80000000 is −2^31, not greater than 4.
               {Version(k9x, 4, 0xFFFFFFFFu), 0}, {Version(k9x, 0x80000000u, 0), 0}};
  for (const auto& [version, code] : cases) {
    SCOPED_TRACE(::testing::Message() << "ok " << version.ok << ", platform " << version.platformId << ", "
                                      << version.major << "." << version.minor);
    EXPECT_EQ(WindowsVersionCode(version), code);
    FakeServices services;
    services.version = version;
    EXPECT_EQ(WindowsVersionCode(services), code);
  }
}

TEST(Manifest, TextIsTheNineLinesByteForByte) {
  EXPECT_EQ(kManifestText.size(), 484u);
  EXPECT_EQ(std::string(kManifestText), ExpectedManifest());
}

TEST(ShellExecuteFile, StartsOnlyWhatTheServicesCanStart) {
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

TEST(RelaunchMarker, IsTakenOnce) {
#ifndef _WIN32
  setenv(kRelaunchMarker, "1", 1);
  EXPECT_TRUE(TakeRelaunchMarker());
  EXPECT_EQ(std::getenv(kRelaunchMarker), nullptr);
  EXPECT_FALSE(TakeRelaunchMarker());
#endif
}

// Runs the routine; true when the process ended, with the windows shown counted.
bool StartUp(FakeServices& services, int& windowsShown, bool relaunchedCopy = false) {
  try {
    VisualStylesStartup(services, [&] { ++windowsShown; }, relaunchedCopy);
  } catch (const FakeServices::ProcessEnded&) {
    return true;
  }
  return false;
}

using Setting = FakeServices::Setting;

// Codes 0 to 5, without a manifest: no write, no initialisation, no setting
// and no relaunch; the window is shown.
TEST(VisualStylesStartup, OtherVersionsShowTheWindowAndTouchNothing) {
  for (const OsVersion& version : {OsVersion{}, Version(k9x, 4, 0), Version(k9x, 4, 10), Version(k9x, 4, 90),
                                   Version(kNt, 4, 0), Version(kNt, 5, 0), Version(kNt, 5, 2)}) {
    SCOPED_TRACE(::testing::Message() << "code " << WindowsVersionCode(version));
    FakeServices services;
    services.version = version;
    int windows = 0;
    EXPECT_FALSE(StartUp(services, windows));
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(services.CallCount("OpenForOutput"), 0);
    EXPECT_EQ(services.initCommonControlsCalls, 0);
    EXPECT_EQ(services.CallCount("SaveSetting"), 0);
    EXPECT_EQ(services.CallCount("StartProgram"), 0);
  }
}

TEST(VisualStylesStartup, FirstStartOnNt51WritesTheManifestAndRelaunches) {
  // Renamed executable: the manifest, the relaunch target and the setting
  // all follow the base name.
  FakeServices services;
  services.version = Version(kNt, 5, 1);
  services.baseName = "bw-energy";
  std::string markerAtStart;
  services.onCall = [&](std::string_view call) {
    if (call == "StartProgram") markerAtStart = std::getenv(kRelaunchMarker) ? std::getenv(kRelaunchMarker) : "";
  };
  int windows = 0;
  EXPECT_TRUE(StartUp(services, windows));
  TakeRelaunchMarker();
  EXPECT_EQ(windows, 0);
  EXPECT_EQ(services.files.at(platform::JoinPath(services.folder, "bw-energy.exe.MANIFEST")), ExpectedManifest());
  EXPECT_EQ(services.initCommonControlsCalls, 1);
  EXPECT_EQ(services.settings, (std::vector<Setting>{{"bw-energy", "Settings", "CanRun", "YES"}}));
  const std::string target = platform::JoinPath(services.folder, std::string("bw-energy") + kExecutableSuffix);
  EXPECT_EQ(services.startedPrograms, std::vector<std::string>{target});
  EXPECT_FALSE(markerAtStart.empty()) << "the new copy must know it was relaunched";
  // Initialised before the relaunch decision; the setting is stored before
  // the new copy starts; the process ends right after.
  const auto& calls = services.calls;
  const auto at = [&](const char* name) { return std::find(calls.begin(), calls.end(), name) - calls.begin(); };
  EXPECT_LT(at("InitCommonControls"), at("SaveSetting"));
  EXPECT_LT(at("SaveSetting"), at("StartProgram"));
  EXPECT_EQ(calls.back(), "EndProcess");
}

// What the file holds afterwards.
enum class Manifest { kAbsent, kWhole, kFirstFiveLines };

struct Scenario {
  const char* label;
  bool manifestThere = false, failOpen = false, refuseStart = false, failSettings = false, unreadable = false;
  int failWriteAt = 0;
  bool relaunchedCopy = false;
  // Expected:
  bool ended = false;
  Manifest manifest = Manifest::kWhole;
  int initCalls = 1;
  std::vector<std::string> settings = {};  // the values stored for "CanRun"
  int saveCalls = 0, startCalls = 0;
};

void PrintTo(const Scenario& s, std::ostream* out) { *out << s.label; }

class Nt51 : public ::testing::TestWithParam<Scenario> {};

TEST_P(Nt51, FollowsTheStartUpSequence) {
  const Scenario& s = GetParam();
  FakeServices services;
  services.version = Version(kNt, 5, 1);
  const std::string path = ManifestPath(services);
  if (s.manifestThere) services.files[path] = ExpectedManifest();
  services.failOpenForOutput = s.failOpen;
  services.startProgramResult = !s.refuseStart;
  services.failSettings = s.failSettings;
  services.failWriteAtLine = s.failWriteAt;
  if (s.unreadable) services.unreadable.insert(path);
  int windows = 0;
  EXPECT_EQ(StartUp(services, windows, s.relaunchedCopy), s.ended);
  EXPECT_EQ(windows, s.ended ? 0 : 1);
  // A copy that shows its window started no other: no mark may linger.
  if (!s.ended) {
    EXPECT_EQ(std::getenv(kRelaunchMarker), nullptr);
  }
  TakeRelaunchMarker();
  // Written on every start here, whether or not it was there.
  EXPECT_EQ(services.CallCount("OpenForOutput"), 1);
  const std::string whole = ExpectedManifest();
  if (s.manifest == Manifest::kAbsent) {
    EXPECT_EQ(services.files.count(path), 0u);
  } else {
    const auto end = s.manifest == Manifest::kWhole ? std::string::npos : whole.find("<assemblyIdentity type");
    EXPECT_EQ(services.files.at(path), whole.substr(0, end));
  }
  EXPECT_EQ(services.initCommonControlsCalls, s.initCalls);
  std::vector<std::string> values;
  for (const Setting& setting : services.settings) {
    EXPECT_EQ(setting.application + "/" + setting.section + "/" + setting.key, "quorix/Settings/CanRun");
    values.push_back(setting.value);
  }
  EXPECT_EQ(values, s.settings);
  EXPECT_EQ(services.CallCount("SaveSetting"), s.saveCalls);
  EXPECT_EQ(services.CallCount("StartProgram"), s.startCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Branches, Nt51,
    ::testing::Values(
        Scenario{.label = "later_start_rewrites", .manifestThere = true},
        Scenario{.label = "refused_relaunch", .refuseStart = true, .settings = {"YES", "NO"}, .saveCalls = 2,
                 .startCalls = 1},
        Scenario{.label = "unwritable_folder", .failOpen = true, .manifest = Manifest::kAbsent, .initCalls = 0},
        Scenario{.label = "partly_written", .failWriteAt = 6, .manifest = Manifest::kFirstFiveLines, .initCalls = 0},
        // A failing settings store does not stop the relaunch, nor the second write after a refusal.
        Scenario{.label = "settings_fail", .failSettings = true, .ended = true, .saveCalls = 1, .startCalls = 1},
        Scenario{.label = "settings_fail_refused", .refuseStart = true, .failSettings = true, .saveCalls = 2,
                 .startCalls = 1},
        // Written but never readable: the first copy relaunches, the
        // relaunched copy shows its window instead of relaunching again.
        Scenario{.label = "unreadable_first", .unreadable = true, .ended = true, .settings = {"YES"}, .saveCalls = 1,
                 .startCalls = 1},
        Scenario{.label = "unreadable_relaunched", .unreadable = true, .relaunchedCopy = true},
        Scenario{.label = "relaunched_with_manifest", .manifestThere = true, .relaunchedCopy = true}),
    [](const auto& info) { return info.param.label; });

TEST(VisualStylesStartup, AWindowThatFailsToLoadIsAbandonedQuietly) {
  FakeServices services;
  EXPECT_NO_THROW(VisualStylesStartup(services, [] { throw std::runtime_error("no display"); }, false));
}

}  // namespace
}  // namespace quorix::startup
