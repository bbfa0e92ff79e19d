#include "json.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <exception>

#include "cli_common.h"
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

namespace {
std::string QuotedArray(const std::vector<std::string>& values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) out += ", ";
    out += Quoted(values[i]);
  }
  return out + ']';
}
}  // namespace

JsonObject& JsonObject::Strings(std::string_view key, const std::vector<std::string>& values) {
  Key(key);
  members_ += QuotedArray(values);
  return *this;
}

JsonObject& JsonObject::StringRows(std::string_view key, const std::vector<std::vector<std::string>>& rows) {
  Key(key);
  members_ += '[';
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i != 0) members_ += ", ";
    members_ += QuotedArray(rows[i]);
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

JsonObject RefusalJson(const CLI::App* command, std::string_view message) {
  JsonObject refusal;
  refusal.String("message", message);
  // "--name: reason", the name one of the command's options: the form in
  // which a field's refusal names its field.
  const std::size_t colon = message.find(": ");
  const std::string_view name = message.substr(0, colon);
  const bool named = colon != std::string_view::npos && name.size() > 2 && name.starts_with("--") &&
                     name.find_first_of(" =") == std::string_view::npos;
  const CLI::Option* option = named && command != nullptr ? command->get_option_no_throw(std::string(name)) : nullptr;
  if (option != nullptr) {
    refusal.String("option", name).String("reason", message.substr(colon + 2));
    if (!option->results().empty()) refusal.String("value", option->results().back());
  }
  return JsonObject().Object("refusal", refusal);
}

void RunAnswering(int& exitCode, const CLI::App& command, const bool& json, const std::function<void()>& work) {
  RunReporting(exitCode, [&] {
    try {
      work();
    } catch (const std::exception& e) {
      // Written before the message, as the rows of a sweep are: whatever a
      // reader of standard output gets, it gets whole.
      if (json) WriteOut(RefusalJson(&command, e.what()).Text() + "\n");
      throw;
    }
  });
}

}  // namespace quorix::cli
