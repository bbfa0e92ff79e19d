// A tiny JSON writer: one flat or nested object of numbers, arrays of
// numbers, integers, Booleans and strings, on one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorix::cli {

// The shortest text that reads back as the same double ("0.1", "1e-05",
// "-0", "1e+300"); "inf", "-inf" and "nan" for the non-finite values.
std::string ShortestText(double value);

// A double as JsonObject writes it: a JSON number, or for a non-finite one
// the string "inf", "-inf" or "nan".
std::string JsonNumberText(double value);

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
  JsonObject& Object(std::string_view key, const JsonObject& value);

  // The object's text, e.g. {"value": 1.5, "status": 1}.
  std::string Text() const;

 private:
  void Key(std::string_view key);
  std::string members_;
};

}  // namespace quorix::cli
