#include "system_services.h"

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

namespace {

std::size_t LastSeparator(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i - 1;
  }
  return std::string::npos;
}

}  // namespace

std::string FolderOfPath(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  if (sep == std::string::npos) return ".";
  if (sep == 0) return path.substr(0, 1);  // "/": the root keeps its separator
#ifdef _WIN32
  if (sep == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\"
#endif
  return path.substr(0, sep);
}

std::string BaseNameOfPath(const std::string& path) {
  const std::size_t sep = LastSeparator(path);
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace quorix::platform
