#include "record.h"

#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <system_error>

namespace quorix::measured {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Splits a trimmed line at `delimiter`; ' ' splits at runs of blanks.
// Returns the number of fields found, keeping at most the first three.
std::size_t Split(std::string_view line, char delimiter, std::array<std::string_view, 3>& fields) {
  std::size_t count = 0;
  if (delimiter == ' ') {
    std::size_t i = 0;
    while (i < line.size()) {
      std::size_t j = i;
      while (j < line.size() && !IsBlank(line[j])) ++j;
      if (count < fields.size()) fields[count] = line.substr(i, j - i);
      ++count;
      while (j < line.size() && IsBlank(line[j])) ++j;
      i = j;
    }
    return count;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(delimiter, start);
    const std::string_view field = Trim(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (count < fields.size()) fields[count] = field;
    ++count;
    if (end == std::string_view::npos) return count;
    start = end + 1;
  }
}

char DetectDelimiter(std::string_view line) {
  for (char c : {';', '\t', ','}) {
    if (line.find(c) != std::string_view::npos) return c;
  }
  return ' ';
}

std::string DelimiterName(char d) {
  switch (d) {
    case ';': return "';'";
    case '\t': return "TAB";
    case ',': return "','";
    default: return "blanks";
  }
}

enum class NumberStatus { ok, notNumber, notFinite, outOfRange };

// A number as the C locale writes it: an optional sign, digits with an
// optional '.', an optional exponent. from_chars never looks at the locale.
NumberStatus ParseNumber(std::string_view text, double& value) {
  std::string_view s = text;
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) return NumberStatus::notNumber;
  }
  if (s.empty()) return NumberStatus::notNumber;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
  if (end != s.data() + s.size()) return NumberStatus::notNumber;
  if (ec == std::errc::result_out_of_range) return NumberStatus::outOfRange;
  if (ec != std::errc()) return NumberStatus::notNumber;
  if (!std::isfinite(value)) return NumberStatus::notFinite;
  return NumberStatus::ok;
}

// At most 40 characters of a field, for a message.
std::string Quote(std::string_view field) {
  std::string q = "\"";
  for (char c : field.substr(0, 40)) q += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
  if (field.size() > 40) q += "...";
  return q + "\"";
}

}  // namespace

void RecordParser::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (pending_.size() + piece.size() > kMaxLineLength + 1) {  // + 1: a CR before the LF
      throw RecordError("line " + std::to_string(lineNumber_ + 1) + " is longer than " +
                        std::to_string(kMaxLineLength) + " characters: not a record of two columns");
    }
    if (end == std::string_view::npos) {
      pending_.append(piece);
      return;
    }
    if (pending_.empty()) {
      Line(piece);
    } else {
      pending_.append(piece);
      Line(pending_);
      pending_.clear();
    }
    bytes.remove_prefix(end + 1);
  }
}

Record RecordParser::Finish() {
  if (!pending_.empty()) {
    Line(pending_);
    pending_.clear();
  }
  if (record_.u.empty()) {
    throw RecordError(lineNumber_ == 0 ? "the record is empty" : "the record holds no points (" +
                                                                     std::to_string(lineNumber_) + " lines read)");
  }
  return std::move(record_);
}

void RecordParser::Line(std::string_view raw) {
  ++lineNumber_;
  if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  // A byte-order mark, as spreadsheets put before UTF-8 text, would make
  // the first point read as a header and be lost.
  if (lineNumber_ == 1 && raw.starts_with("\xEF\xBB\xBF")) raw.remove_prefix(3);
  const std::string_view line = Trim(raw);
  if (line.empty() || line.front() == '#') return;

  const char delimiter = delimiter_ != 0 ? delimiter_ : DetectDelimiter(line);
  std::array<std::string_view, 3> fields;
  const std::size_t count = Split(line, delimiter, fields);

  double u = 0.0;
  const NumberStatus first = ParseNumber(fields[0], u);
  // A first line that does not start with a number is the header.
  if (!sawHeaderOrPoint_ && first == NumberStatus::notNumber) {
    sawHeaderOrPoint_ = true;
    return;
  }
  sawHeaderOrPoint_ = true;
  // The message's prefix, made only on the way to an error.
  const auto where = [this] { return "line " + std::to_string(lineNumber_) + ": "; };
  const bool alone = columns_ == Columns::kDisplacementWithOptionalForce;
  if (count == 1 && !(alone && width_ != 2)) {
    throw RecordError(where() + "one column; expected displacement and force" +
                      (delimiter_ != 0 ? " separated by " + DelimiterName(delimiter_) : std::string()));
  }
  if (count > 2) {
    throw RecordError(where() + std::to_string(count) + " columns separated by " + DelimiterName(delimiter) +
                      (alone ? "; expected one, the displacement, or two, displacement and force"
                             : "; expected two, displacement and force"));
  }
  if (count == 2 && width_ == 1) {
    throw RecordError(where() + "two columns; the lines before held the displacement alone");
  }
  double F = 0.0;
  const NumberStatus second = count == 2 ? ParseNumber(fields[1], F) : NumberStatus::ok;
  const std::array<std::pair<NumberStatus, const char*>, 2> checks{{{first, "displacement "}, {second, "force "}}};
  for (std::size_t i = 0; i < count; ++i) {
    if (checks[i].first == NumberStatus::ok) continue;
    const std::string what = where() + "the " + checks[i].second + Quote(fields[i]);
    switch (checks[i].first) {
      case NumberStatus::ok: break;
      case NumberStatus::notNumber: throw RecordError(what + " is not a number (the decimal point is '.')");
      case NumberStatus::notFinite: throw RecordError(what + " is not a finite number");
      case NumberStatus::outOfRange: throw RecordError(what + " is beyond the range of a double");
    }
  }
  width_ = count;
  delimiter_ = delimiter;
  record_.u.push_back(u);
  if (count == 2) record_.F.push_back(F);
}

Record ParseRecord(std::string_view text, Columns columns) {
  RecordParser parser(columns);
  parser.Feed(text);
  return parser.Finish();
}

Record ReadRecord(platform::InputFile& file, Columns columns) {
  constexpr std::size_t kChunk = 1 << 20;
  const auto buffer = std::make_unique<char[]>(kChunk);
  RecordParser parser(columns);
  for (;;) {
    const std::size_t got = file.Read(buffer.get(), kChunk);
    if (got == 0) break;
    parser.Feed(std::string_view(buffer.get(), got));
  }
  return parser.Finish();
}

Record ReadRecordFile(platform::Services& services, const std::string& path, Columns columns) {
  const auto file = services.OpenForInput(path);
  return ReadRecord(*file, columns);
}

}  // namespace quorix::measured
