// Start-up: the visual-styles manifest beside the executable, the Windows
// version test, the common-controls initialisation and the one-time relaunch
// that lets Windows NT 5.1 read a freshly written manifest. Everything goes
// through the run-time services, so the routine runs (and is tested) on any
// platform; off Windows the version query fails and the window just loads.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "services.h"

namespace quorix::startup {

// The manifest, byte for byte: nine lines, each ended by CR LF, 484 bytes.
inline constexpr std::string_view kManifestText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
    "<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"x86\" name=\"prjThemed\" type=\"Win32\" />\r\n"
    "<dependency>\r\n"
    "<dependentAssembly>\r\n"
    "<assemblyIdentity type=\"Win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
    "processorArchitecture=\"x86\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\" />\r\n"
    "</dependentAssembly>\r\n"
    "</dependency>\r\n"
    "</assembly>\r\n";

// ShowWindow command for a window shown at normal size but not activated.
inline constexpr int kShowNoActivate = 4;

// The environment variable that marks a copy started by the relaunch.
inline constexpr const char* kRelaunchMarker = "QUORIX_RELAUNCHED";

// <folder>/<base name>.exe.MANIFEST
std::string ManifestPath(platform::Services& services);
// The executable itself: <folder>/<base name>, with ".exe" on Windows.
std::string RelaunchTarget(platform::Services& services);

// True when the manifest can be opened for reading; any error gives false.
bool ManifestExists(platform::Services& services);
// Writes (creates or truncates) the manifest; false on any error, leaving
// whatever was written before it in place.
bool WriteManifest(platform::Services& services);

// 0 to 6 from the operating-system version; 6 is Windows NT 5.1, the only
// version on which the manifest logic runs. A failed query gives 0.
int WindowsVersionCode(const platform::OsVersion& version);
int WindowsVersionCode(platform::Services& services);

// Starts `file` the way the shell would: operation "Open", no parameters, no
// directory (null pointers), show command kShowNoActivate. The services
// start programs only that one way, so any other request is refused (false).
// True when the program started.
bool ShellExecuteFile(platform::Services& services, const std::string& file, const char* operation,
                      const char* parameters, const char* directory, int showCommand);

// True when this process was started by a relaunch; clears the mark so that
// programs this process starts later do not inherit it.
bool TakeRelaunchMarker();

// The start-up sequence. Either calls `loadAndShowMainWindow` once, or
// relaunches the program and ends this process through the services. Every
// step that fails is abandoned and the sequence goes on with the next one.
//
// `relaunchedCopy` guards against relaunching for ever when the manifest
// can be written but never read back: a copy started by the relaunch shows
// its window instead of relaunching again.
void VisualStylesStartup(platform::Services& services, const std::function<void()>& loadAndShowMainWindow,
                         bool relaunchedCopy);

}  // namespace quorix::startup
