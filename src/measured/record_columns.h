// Choosing a record's columns by their names: which name says displacement
// or force, which column a choice names, and whether a column turns back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorix::measured::detail {

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The name without a unit that ends it as "[mm]" or "(mm)", and that unit.
std::pair<std::string_view, std::string_view> NameAndUnit(std::string_view name);
// A field in double quotes for a message, cut at 40 characters.
std::string Quote(std::string_view field);

// "Disp", "displ.", "Displacement" and its misspellings; "Stroke", "Deflection".
bool SaysDisplacement(std::string_view name);
// "Force", "Load", "F".
bool SaysForce(std::string_view name);

// The column (from 0) a choice names, kNone for the default; a number in
// the choice and in the messages counts from firstNumber.
std::size_t ChosenColumn(const std::string& choice, const char* what, const std::vector<std::string>& names,
                         std::size_t width, std::size_t firstNumber);

// Of the columns whose names say what the quantity is (and not what the
// other one is), the one whose name says it with the fewest words:
// "Displacement [mm]" before "Displacement rate [mm/s]". Two equally short
// names are refused, naming `option` and counting the columns from
// firstNumber, rather than one of them taken.
std::size_t BestNamed(const std::vector<std::string>& names, bool (*says)(std::string_view),
                      bool (*other)(std::string_view), std::size_t taken, const char* what, const std::string& option,
                      std::size_t firstNumber);

// Whether a column's values turn back at least `turns` times (a change of
// direction between successive distinct values).
bool Reverses(const std::vector<double>& x, int turns);

}  // namespace quorix::measured::detail
