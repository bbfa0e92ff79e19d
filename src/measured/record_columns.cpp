#include "record_columns.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>

#include "refusal.h"

namespace quorix::measured::detail {

namespace {

// Whether a word of the name (a run of letters and digits, any non-ASCII
// character counting as a letter), in ASCII lower case, satisfies `says`.
template <class Says>
bool HasWord(std::string_view name, Says says) {
  std::string word;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    const auto c = i < name.size() ? static_cast<unsigned char>(name[i]) : 0;
    if (c >= 0x80 || std::isalnum(c)) {
      word += static_cast<char>(std::tolower(c));
    } else if (!word.empty()) {
      if (says(std::string_view(word))) return true;
      word.clear();
    }
  }
  return false;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The words of a name without its unit: "Displacement rate [mm/s]" has two.
std::size_t WordCount(std::string_view name) {
  std::size_t count = 0;
  HasWord(NameAndUnit(name).first, [&count](std::string_view) {
    ++count;
    return false;
  });
  return count;
}

}  // namespace

bool SaysDisplacement(std::string_view name) {
  return HasWord(name, [](std::string_view w) {
    return w.starts_with("disp") || w == "u" || w.starts_with("stroke") || w.starts_with("deflect");
  });
}
bool SaysForce(std::string_view name) {
  return HasWord(name, [](std::string_view w) { return w.starts_with("force") || w.starts_with("load") || w == "f"; });
}

std::size_t BestNamed(const std::vector<std::string>& names, bool (*says)(std::string_view),
                      bool (*other)(std::string_view), std::size_t taken, const char* what, const std::string& option,
                      std::size_t firstNumber) {
  std::size_t best = kNone, tie = kNone, fewest = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i == taken || !says(names[i]) || other(names[i])) continue;
    const std::size_t words = WordCount(names[i]);
    if (best == kNone || words < fewest) {
      best = i;
      tie = kNone;
      fewest = words;
    } else if (words == fewest && tie == kNone) {
      tie = i;
    }
  }
  if (tie != kNone) {
    throw Refusal("columns " + std::to_string(best + firstNumber) + " (" + Quote(names[best]) + ") and " +
                  std::to_string(tie + firstNumber) + " (" + Quote(names[tie]) + ") both name the " + what +
                  ": choose one (" + option + ")");
  }
  return best;
}

bool Reverses(const std::vector<double>& x, int turns) {
  int direction = 0, seen = 0;
  for (std::size_t i = 1; i < x.size() && seen < turns; ++i) {
    const int d = x[i] > x[i - 1] ? 1 : x[i] < x[i - 1] ? -1 : 0;
    if (d == 0) continue;
    if (direction != 0 && d != direction) ++seen;
    direction = d;
  }
  return seen >= turns;
}

std::size_t ChosenColumn(const std::string& choice, const char* what, const std::vector<std::string>& names,
                         std::size_t width, std::size_t firstNumber) {
  if (choice.empty()) return kNone;
  std::size_t number = 0;
  const auto [end, ec] = std::from_chars(choice.data(), choice.data() + choice.size(), number);
  if (end == choice.data() + choice.size()) {
    if (ec != std::errc() || number < firstNumber || number - firstNumber >= width) {
      throw Refusal(std::string("the ") + what + " column " + choice + ": the record has columns " +
                        std::to_string(firstNumber) + " to " + std::to_string(width - 1 + firstNumber));
    }
    return number - firstNumber;
  }
  const std::string quoted = Quote(choice);
  if (names.empty()) {
    throw Refusal(std::string("the ") + what + " column " + quoted +
                      ": the record has no header to find it in; give the column's number");
  }
  // The name as the header writes it, else both without their units.
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (SameText(names[i], choice)) return i;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (SameText(NameAndUnit(names[i]).first, NameAndUnit(choice).first)) return i;
  }
  std::string list;
  for (std::size_t i = 0; i < names.size() && i < 20; ++i) list += (i > 0 ? ", " : "") + Quote(names[i]);
  throw Refusal(std::string("the ") + what + " column " + quoted + ": no column has that name; the header has " +
                    list + (names.size() > 20 ? ", ..." : ""));
}

}  // namespace quorix::measured::detail
