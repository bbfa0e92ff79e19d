#include "services.h"

namespace quorix::platform {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
#else
constexpr char kSeparator = '/';
bool IsSeparator(char c) { return c == '/'; }
#endif

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  // An empty folder stands for the current one: the bare name, not "/name".
  if (folder.empty()) return name;
  if (IsSeparator(folder.back())) return folder + name;
  return folder + kSeparator + name;
}

}  // namespace quorix::platform
