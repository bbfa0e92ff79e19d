// The start-up routine against the fake services: the version code, the manifest's bytes, every branch.
#include "visual_styles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "fake_services.h"

namespace quorix::startup {
namespace {

using platform::OsVersion;
using testing::FakeServices;

constexpr std::uint32_t k9x = 1, kNt = 2;
const OsVersion kNt51{true, kNt, 5, 1};

// The manifest, typed out line by line, each line ended by CR LF.
const std::string kManifest = [] {
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
}();

// True when the process ended; counts the windows shown, each of which then fails to load (abandoned quietly).
bool StartUp(FakeServices& services, int& windowsShown, bool relaunchedCopy = false) try {
  VisualStylesStartup(services, [&] { ++windowsShown, throw std::runtime_error("no display"); }, relaunchedCopy);
  return false;
} catch (const FakeServices::ProcessEnded&) {
  return true;
}

// Codes 0 to 5 have no manifest: the window shows, nothing is written, initialised, stored or relaunched.
TEST(VisualStylesStartup, VersionCodeAndVersionsWithoutManifest) {
  const std::pair<OsVersion, int> cases[] = {
      {OsVersion{}, 0}, {{false, kNt, 5, 1}, 0}, {kNt51, 6}, {{true, kNt, 5, 0}, 5}, {{true, kNt, 4, 0}, 4},
      {{true, kNt, 4, 10}, 4}, {{true, k9x, 4, 90}, 3}, {{true, k9x, 5, 0}, 2}, {{true, k9x, 4, 10}, 2},
      {{true, 0, 4, 10}, 2}, {{true, k9x, 4, 0}, 1}, {{true, kNt, 5, 2}, 0}, {{true, kNt, 6, 1}, 0},
      {{true, kNt, 3, 51}, 0},
      // Signed 32-bit comparisons: 0xFFFFFFFF is −1, not above 0; 0x80000000 is −2^31, not above 4.
      {{true, k9x, 4, 0xFFFFFFFFu}, 0}, {{true, k9x, 0x80000000u, 0}, 0}};
  for (const auto& [version, code] : cases) {
    SCOPED_TRACE(::testing::Message() << version.platformId << ' ' << version.major << '.' << version.minor);
    FakeServices services;
    services.version = version;
    EXPECT_EQ(WindowsVersionCode(services), code);
    if (code == 6) continue;
    int windows = 0;
    EXPECT_EQ((std::tuple{StartUp(services, windows), windows}), std::tuple(false, 1));  // braces: in this order
    EXPECT_EQ(std::tie(services.files, services.settings, services.startedPrograms),
              (std::tuple<decltype(services.files), std::vector<std::string>, std::vector<std::string>>{}));
    EXPECT_EQ(services.CallCount("InitCommonControls"), 0);
  }
}

struct Scenario {
  const char* label;
  bool manifestThere = false, failOpen = false, refuseStart = false, failSettings = false, unreadable = false;
  int failWriteAt = 0;
  bool relaunchedCopy = false;
  // Expected: ended, the manifest's bytes (npos: whole; 0: absent), init calls, values offered, relaunch calls.
  bool ended = false;
  std::size_t manifestBytes = std::string::npos;
  int initCalls = 1;
  std::vector<std::string> settings = {};
  int startCalls = 0;
};

class Nt51 : public ::testing::TestWithParam<Scenario> {};

// A renamed executable: the manifest, the stored setting and the relaunch target follow the base name.
TEST_P(Nt51, FollowsTheStartUpSequence) {
  const Scenario& s = GetParam();
  FakeServices services;
  services.version = kNt51;
  services.baseName = "bw-energy";
  const std::string path = platform::JoinPath(services.folder, "bw-energy.exe.MANIFEST");
  if (s.manifestThere) services.files[path] = kManifest;
  services.failOpenForOutput = s.failOpen;
  services.startProgramResult = !s.refuseStart;
  services.failSettings = s.failSettings;
  services.failWriteAtLine = s.failWriteAt;
  if (s.unreadable) services.unreadable.insert(path);
  // The new copy must know it was relaunched.
  services.onCall = [](auto call) { if (call == "StartProgram") { EXPECT_TRUE(std::getenv(kRelaunchMarker)); } };
  int windows = 0;
  EXPECT_EQ(StartUp(services, windows, s.relaunchedCopy), s.ended);
  EXPECT_EQ(windows, s.ended ? 0 : 1);
  // Only a copy that ended for a relaunch leaves the mark, and it is taken once (braces: taken in this order).
  EXPECT_EQ((std::tuple{TakeRelaunchMarker(), TakeRelaunchMarker()}), std::tuple(s.ended, false));
  EXPECT_EQ(services.CallCount("OpenForOutput"), 1);  // written on every start, whether or not it was there
  EXPECT_EQ(services.files.contains(path) ? services.files.at(path) : "<absent>",
            s.manifestBytes == 0 ? "<absent>" : kManifest.substr(0, s.manifestBytes));
  EXPECT_EQ(services.CallCount("InitCommonControls"), s.initCalls);
  std::vector<std::string> stored;
  for (const std::string& value : s.failSettings ? std::vector<std::string>{} : s.settings) {
    stored.push_back("bw-energy/Settings/CanRun=" + value);
  }
  EXPECT_EQ(std::pair(services.settings, services.CallCount("SaveSetting")), std::pair(stored, int(s.settings.size())));
  EXPECT_EQ(services.CallCount("StartProgram"), s.startCalls);
  if (!s.ended) return;
#ifdef _WIN32
  EXPECT_EQ(services.startedPrograms, std::vector<std::string>{platform::JoinPath(services.folder, "bw-energy.exe")});
#else
  EXPECT_EQ(services.startedPrograms, std::vector<std::string>{platform::JoinPath(services.folder, "bw-energy")});
#endif
  // Initialised before the relaunch decision, stored before the new copy starts, ended right after.
  const auto at = [&](const char* name) { return std::ranges::find(services.calls, name) - services.calls.begin(); };
  EXPECT_LT(at("InitCommonControls"), at("SaveSetting"));
  EXPECT_LT(at("SaveSetting"), at("StartProgram"));
  EXPECT_EQ(services.calls.back(), "EndProcess");
}

// A failing settings store stops neither the relaunch nor the second value after a refusal; a manifest
// written but never readable relaunches the first copy, and the relaunched one shows its window.
INSTANTIATE_TEST_SUITE_P(
    Branches, Nt51,
    ::testing::Values(
        Scenario{.label = "first_start", .ended = true, .settings = {"YES"}, .startCalls = 1},
        Scenario{.label = "later_start_rewrites", .manifestThere = true},
        Scenario{.label = "refused_relaunch", .refuseStart = true, .settings = {"YES", "NO"}, .startCalls = 1},
        Scenario{.label = "unwritable_folder", .failOpen = true, .manifestBytes = 0, .initCalls = 0},
        Scenario{.label = "partly_written", .failWriteAt = 6, .manifestBytes = kManifest.find("<assemblyIdentity type"),
                 .initCalls = 0},
        Scenario{.label = "settings_fail", .failSettings = true, .ended = true, .settings = {"YES"}, .startCalls = 1},
        Scenario{.label = "settings_fail_refused", .refuseStart = true, .failSettings = true,
                 .settings = {"YES", "NO"}, .startCalls = 1},
        Scenario{.label = "unreadable_first", .unreadable = true, .ended = true, .settings = {"YES"}, .startCalls = 1},
        Scenario{.label = "unreadable_relaunched", .unreadable = true, .relaunchedCopy = true}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace quorix::startup
