#include "json.h"

#include <cmath>

#include "decimal.h"

namespace quorix::cli {

namespace {

std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
  return out + '"';
}

}  // namespace

// The shortest form is valid JSON as it stands: a digit before any point,
// and an exponent written "e-05" or "e+300".
std::string JsonNumberText(double value) {
  return std::isfinite(value) ? ShortestText(value) : Quoted(ShortestText(value));
}

std::string ShortestText(double value) {
  if (std::isnan(value)) return "nan";  // the shortest form is "-nan" for a negative NaN
  return decimal::ShortestText(value);
}

JsonObject& JsonObject::Number(std::string_view key, double value) {
  Key(key);
  members_ += JsonNumberText(value);
  return *this;
}

JsonObject& JsonObject::Numbers(std::string_view key, const std::vector<double>& values) {
  Key(key);
  members_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) members_ += ", ";
    members_ += JsonNumberText(values[i]);
  }
  members_ += ']';
  return *this;
}

JsonObject& JsonObject::Integer(std::string_view key, std::int64_t value) {
  Key(key);
  members_ += std::to_string(value);
  return *this;
}

JsonObject& JsonObject::Bool(std::string_view key, bool value) {
  Key(key);
  members_ += value ? "true" : "false";
  return *this;
}

JsonObject& JsonObject::Null(std::string_view key) {
  Key(key);
  members_ += "null";
  return *this;
}

JsonObject& JsonObject::String(std::string_view key, std::string_view value) {
  Key(key);
  members_ += Quoted(value);
  return *this;
}

JsonObject& JsonObject::Strings(std::string_view key, const std::vector<std::string>& values) {
  Key(key);
  members_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) members_ += ", ";
    members_ += Quoted(values[i]);
  }
  members_ += ']';
  return *this;
}

JsonObject& JsonObject::Object(std::string_view key, const JsonObject& value) {
  Key(key);
  members_ += value.Text();
  return *this;
}

std::string JsonObject::Text() const { return "{" + members_ + "}"; }

void JsonObject::Key(std::string_view key) {
  if (!members_.empty()) members_ += ", ";
  members_ += Quoted(key);
  members_ += ": ";
}

}  // namespace quorix::cli
