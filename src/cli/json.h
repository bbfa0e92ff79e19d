// A tiny JSON writer: one flat or nested object of numbers, arrays of
// numbers, integers, Booleans and strings, on one line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace quorix::cli {

// The shortest text that reads back as the same double ("0.1", "1e-05",
// "-0", "1e+300"); "inf", "-inf" and "nan" for the non-finite values.
std::string ShortestText(double value);

// A double as JsonObject writes it: a JSON number, or for a non-finite one
// the string "inf", "-inf" or "nan".
std::string JsonNumberText(double value);

// The names and shapes of the JSON answers, versioned with the program's
// minor version: a script checks it before reading a key.
inline constexpr const char* kJsonSchema = "quorix-cli/1.1";

class JsonObject {
 public:
  // Finite doubles as JSON numbers, non-finite ones as the strings "inf",
  // "-inf" and "nan", which JSON has no numbers for.
  JsonObject& Number(std::string_view key, double value);
  // An array of numbers, each written as Number writes it.
  JsonObject& Numbers(std::string_view key, const std::vector<double>& values);
  JsonObject& Integer(std::string_view key, std::int64_t value);
  JsonObject& Bool(std::string_view key, bool value);
  JsonObject& Null(std::string_view key);
  JsonObject& String(std::string_view key, std::string_view value);
  JsonObject& Strings(std::string_view key, const std::vector<std::string>& values);
  // An array of arrays of strings: a table's cells, a row each.
  JsonObject& StringRows(std::string_view key, const std::vector<std::vector<std::string>>& rows);
  JsonObject& Object(std::string_view key, const JsonObject& value);
  // An array of objects.
  JsonObject& Objects(std::string_view key, const std::vector<JsonObject>& values);

  // The object's text, e.g. {"value": 1.5, "status": 1}.
  std::string Text() const;
  // The object as a whole answer of the program, its members after the
  // schema of the names: {"schema": "quorix-cli/1.1", "value": 1.5}.
  std::string Answer() const;

 private:
  void Key(std::string_view key);
  std::string members_;
};

// A refused command's answer in JSON, for a reader that wants no text to
// pick apart: {"refusal": {"message": M}}, M the message standard error
// gives after the program's name. When M is about one option of the command
// ("--n: number beyond the range of a double: 1e999"), also "option" (its
// long name), "reason" (what follows its name and ": ") and "value" (the
// text the command line gave it, when it gave one). command may be null.
JsonObject RefusalJson(const CLI::App* command, std::string_view message);

// RunReporting for a command with --json: when json is set, a refusal is
// also answered on standard output as RefusalJson's line, before the
// message goes to standard error with the exit status as always.
void RunAnswering(int& exitCode, const CLI::App& command, const bool& json, const std::function<void()>& work);

}  // namespace quorix::cli
