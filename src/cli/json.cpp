#include "json.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <exception>

#include "cli_common.h"
#include "decimal.h"

namespace quorix::cli {

namespace {

// The length of the well-formed UTF-8 sequence that starts at text[i], or 0
// where none does: RFC 3629's table, so no overlong form, no surrogate and
// nothing past U+10FFFF.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0u; };
  const auto follows = [&](std::size_t k, unsigned low = 0x80, unsigned high = 0xBF) {
    return byte(k) >= low && byte(k) <= high;
  };
  const unsigned lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return follows(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    return follows(1, lead == 0xE0 ? 0xA0 : 0x80, lead == 0xED ? 0x9F : 0xBF) && follows(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    return follows(1, lead == 0xF0 ? 0x90 : 0x80, lead == 0xF4 ? 0x8F : 0xBF) && follows(2) && follows(3) ? 4 : 0;
  }
  return 0;
}

// A JSON string. Texts typed by the user come back in refusals, and JSON is
// UTF-8: a byte that begins no well-formed sequence is written as U+FFFD,
// the replacement character, so that every reader can still parse the answer.
std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    const std::size_t length = Utf8Length(text, i);
    if (length == 0) {
      out += "\\ufffd";
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += "\\u00";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out.append(text.substr(i, length));
    }
    i += std::max<std::size_t>(length, 1);
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

JsonObject& JsonObject::Objects(std::string_view key, const std::vector<JsonObject>& values) {
  Key(key);
  members_ += '[';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) members_ += ", ";
    members_ += values[i].Text();
  }
  members_ += ']';
  return *this;
}

std::string JsonObject::Text() const { return "{" + members_ + "}"; }

std::string JsonObject::Answer() const {
  return "{\"schema\": \"" + std::string(kJsonSchema) + "\"" + (members_.empty() ? "" : ", " + members_) + "}";
}

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
      if (json) WriteOut(RefusalJson(&command, e.what()).Answer() + "\n");
      throw;
    }
  });
}

}  // namespace quorix::cli
