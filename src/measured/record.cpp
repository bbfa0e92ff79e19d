#include "record.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <system_error>

#include "cell_number.h"
#include "record_columns.h"

namespace quorix::measured {

namespace {

using detail::NumberStatus;
using detail::ReadCellNumber;
using namespace detail;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A field without the double quotes a spreadsheet may put around text.
std::string_view Unquoted(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return Trim(s.substr(1, s.size() - 2));
  return s;
}

// Splits a trimmed line at `delimiter` (' ': at runs of blanks) into its
// fields, trimmed and unquoted.
void Split(std::string_view line, char delimiter, std::vector<std::string_view>& fields) {
  fields.clear();
  if (delimiter == ' ') {
    std::size_t i = 0;
    while (i < line.size()) {
      std::size_t j = i;
      while (j < line.size() && !IsBlank(line[j])) ++j;
      fields.push_back(Unquoted(line.substr(i, j - i)));
      while (j < line.size() && IsBlank(line[j])) ++j;
      i = j;
    }
    return;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(delimiter, start);
    fields.push_back(Unquoted(Trim(line.substr(start, end == std::string_view::npos ? end : end - start))));
    if (end == std::string_view::npos) return;
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

// Spreadsheets of the countries that write a decimal comma separate their
// columns with ';' or TAB, never with ','.
bool CommaMayBeDecimal(char delimiter) { return delimiter == ';' || delimiter == '\t'; }

// The position of a field's decimal comma: one comma and no point.
std::size_t DecimalComma(std::string_view field) {
  const std::size_t comma = field.find(',');
  if (comma == std::string_view::npos || field.find(',', comma + 1) != std::string_view::npos ||
      field.find('.') != std::string_view::npos) {
    return std::string_view::npos;
  }
  return comma;
}

// Whether the field reads as a number of some kind (a non-finite or
// out-of-range one too), with a decimal comma where the delimiter allows it.
bool IsNumeric(std::string_view field, char delimiter) {
  std::string copy(field);
  const std::size_t comma = CommaMayBeDecimal(delimiter) ? DecimalComma(field) : std::string_view::npos;
  if (comma != std::string_view::npos) copy[comma] = '.';
  double value = 0.0;
  return ReadCellNumber(copy, value) != NumberStatus::notNumber;
}

// Whether a line split at commas reads as pairs "integer,digits" whose
// second halves look like the fraction digits of decimal commas: one length
// of at least two digits, a leading zero among them ("0,000000,2,955202").
// Integer columns ("10,20,30,40") do not look so.
bool LooksLikeDecimalCommaPairs(const std::vector<std::string_view>& fields) {
  if (fields.size() < 2 || fields.size() % 2 != 0) return false;
  const auto digits = [](std::string_view f) {
    return !f.empty() && std::all_of(f.begin(), f.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  bool leadingZero = false;
  for (std::size_t i = 0; i < fields.size(); i += 2) {
    std::string_view whole = fields[i];
    if (!whole.empty() && (whole.front() == '-' || whole.front() == '+')) whole.remove_prefix(1);
    const std::string_view fraction = fields[i + 1];
    if (!digits(whole) || !digits(fraction) || fraction.size() < 2 || fraction.size() != fields[1].size()) {
      return false;
    }
    leadingZero = leadingZero || fraction.front() == '0';
  }
  return leadingZero;
}

bool HoldsANumber(std::string_view line, std::vector<std::string_view>& fields) {
  const char delimiter = DetectDelimiter(line);
  Split(line, delimiter, fields);
  return std::any_of(fields.begin(), fields.end(), [&](std::string_view f) { return IsNumeric(f, delimiter); });
}

}  // namespace

namespace detail {

// At most 40 characters of a field, for a message.
std::string Quote(std::string_view field) {
  std::string q = "\"";
  for (char c : field.substr(0, 40)) q += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
  if (field.size() > 40) q += "...";
  return q + "\"";
}

}  // namespace detail

namespace {

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

constexpr unsigned kReplacement = 0xFFFD;

bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size() || (length == 2 && b < 0xC2)) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// A name or unit as UTF-8: a text that is not UTF-8 is taken as Latin-1,
// as older laboratory software writes "µm" and "°C".
std::string AsUtf8(std::string_view s) {
  if (IsUtf8(s)) return std::string(s);
  std::string out;
  for (char c : s) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

}  // namespace

namespace detail {

// The name without a unit that ends it as "[mm]" or "(mm)", and that unit.
std::pair<std::string_view, std::string_view> NameAndUnit(std::string_view name) {
  if (name.size() < 2 || (name.back() != ']' && name.back() != ')')) return {name, {}};
  const std::size_t open = name.rfind(name.back() == ']' ? '[' : '(');
  if (open == std::string_view::npos) return {name, {}};
  return {Trim(name.substr(0, open)), Trim(name.substr(open + 1, name.size() - open - 2))};
}

}  // namespace detail

namespace {

// A units line's field without the brackets around it.
std::string_view Unbracketed(std::string_view unit) {
  if (unit.size() >= 2 && ((unit.front() == '[' && unit.back() == ']') || (unit.front() == '(' && unit.back() == ')'))) {
    return Trim(unit.substr(1, unit.size() - 2));
  }
  return unit;
}

// A header or units line split into `width` texts, with the delimiter of
// the points when the line holds it and its own otherwise.
std::vector<std::string> Texts(std::string_view line, char delimiter, std::size_t width) {
  const bool holds = delimiter == ' ' ? line.find_first_of(" \t") != std::string_view::npos
                                      : line.find(delimiter) != std::string_view::npos;
  std::vector<std::string_view> fields;
  Split(line, holds ? delimiter : DetectDelimiter(line), fields);
  std::vector<std::string> texts(width);
  for (std::size_t i = 0; i < width && i < fields.size(); ++i) texts[i] = AsUtf8(fields[i]);
  return texts;
}

}  // namespace

void RecordParser::Feed(std::string_view bytes) {
  if (encoding_ == Encoding::kUnknown) {
    const std::size_t take = std::min(bytes.size(), 3 - head_.size());
    head_.append(bytes.substr(0, take));
    bytes.remove_prefix(take);
    if (head_.size() < 3) return;
    StartDecoding();
  }
  Decode(bytes);
}

// The byte-order mark, if any, tells the encoding; without one the text is
// UTF-8. A UTF-8 mark, as spreadsheets put before their text, would
// otherwise make the first point read as a header and be lost.
void RecordParser::StartDecoding() {
  std::string_view head = head_;
  encoding_ = Encoding::kUtf8;
  if (head.starts_with("\xEF\xBB\xBF")) {
    head.remove_prefix(3);
  } else if (head.starts_with("\xFF\xFE")) {
    encoding_ = Encoding::kUtf16LE;
    head.remove_prefix(2);
  } else if (head.starts_with("\xFE\xFF")) {
    encoding_ = Encoding::kUtf16BE;
    head.remove_prefix(2);
  }
  const std::string rest(head);
  head_.clear();
  Decode(rest);
}

void RecordParser::Decode(std::string_view bytes) {
  if (encoding_ == Encoding::kUtf8) {
    Text(bytes);
    return;
  }
  utf8_.clear();
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (oddByte_ < 0) {
      oddByte_ = b;
      continue;
    }
    const auto first = static_cast<unsigned>(oddByte_);
    oddByte_ = -1;
    CodeUnit(encoding_ == Encoding::kUtf16LE ? (b << 8 | first) : (first << 8 | b));
  }
  Text(utf8_);
}

// One UTF-16 code unit to UTF-8; a surrogate without its other half becomes
// the replacement character.
void RecordParser::CodeUnit(unsigned unit) {
  const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
  if (highSurrogate_ != 0) {
    const unsigned first = highSurrogate_;
    highSurrogate_ = 0;
    if (low) {
      AppendUtf8(utf8_, 0x10000 + ((first - 0xD800) << 10) + (unit - 0xDC00));
      return;
    }
    AppendUtf8(utf8_, kReplacement);
  }
  if (high) {
    highSurrogate_ = unit;
  } else {
    AppendUtf8(utf8_, low ? kReplacement : unit);
  }
}

// UTF-8 text cut into lines at LF, CR LF or CR. memchr finds each line's
// end; the next LF is looked for once and kept, so that a file of CR line
// ends is not searched to its end for an LF at every line.
void RecordParser::Text(std::string_view text) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const char* lf = nullptr;  // the first LF at or after p, or end; nullptr: not yet looked for
  while (p < end) {
    if (afterCR_) {
      afterCR_ = false;
      if (*p == '\n') {
        ++p;
        continue;
      }
    }
    if (lf == nullptr || lf < p) {
      lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
      if (lf == nullptr) lf = end;
    }
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(lf - p)));
    const char* const stop = cr != nullptr ? cr : lf;
    const std::string_view piece(p, static_cast<std::size_t>(stop - p));
    if (pending_.size() + piece.size() > kMaxLineLength) {
      throw Refusal("line " + std::to_string(lineNumber_ + 1) + " is longer than " +
                        std::to_string(kMaxLineLength) + " characters: not a record's line");
    }
    if (stop == end) {
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
    afterCR_ = *stop == '\r';
    p = stop + 1;
  }
}

Record RecordParser::Finish() {
  if (encoding_ == Encoding::kUnknown) StartDecoding();
  if (oddByte_ >= 0 || highSurrogate_ != 0) {  // the text ends inside a character
    utf8_.clear();
    AppendUtf8(utf8_, kReplacement);
    oddByte_ = -1;
    highSurrogate_ = 0;
    Text(utf8_);
  }
  if (!pending_.empty()) {
    Line(pending_);
    pending_.clear();
  }
  if (record_.u.empty()) {
    throw Refusal(lineNumber_ == 0 ? "the record is empty" : "the record holds no points (" +
                                                                     std::to_string(lineNumber_) + " lines read)");
  }
  // A time column taken for the displacement by its place: it never turns
  // back, while the column read as the force does.
  if (uByPosition_ && !record_.F.empty() && !Reverses(record_.u, 1) && Reverses(record_.F, 2)) {
    const std::size_t first = choice_.firstNumber;
    throw Refusal("column " + std::to_string(record_.displacement.number - 1 + first) +
                  ", read as the displacement by its place, never turns back while column " +
                  std::to_string(record_.force.number - 1 + first) +
                  " does: is it a time column? Name the displacement's column (" + choice_.displacementName +
                  ") and the force's (" + choice_.forceName + ")");
  }
  return std::move(record_);
}

// A binary file, or UTF-16 without the byte-order mark that tells it, is
// refused as such rather than as a bad number.
void RecordParser::RefuseControlCharacters(std::string_view text) const {
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && c != '\t') || b == 0x7f) {
      static constexpr char kHex[] = "0123456789abcdef";
      throw Refusal(Where() + "the byte 0x" + kHex[b >> 4] + kHex[b & 0xF] +
                        " is not text (a binary file, or UTF-16 without its byte-order mark?)");
    }
  }
}

// The prefix of a message on the line being read.
std::string RecordParser::Where() const { return "line " + std::to_string(lineNumber_) + ": "; }

void RecordParser::Line(std::string_view raw) {
  ++lineNumber_;
  const std::string_view line = Trim(raw);
  if (line.empty() || line.front() == '#') return;
  if (record_.columns == 0) {
    // Until the first point (the names and units kept, the columns chosen)
    // every line; after it only a field that is not a number is looked at.
    RefuseControlCharacters(line);
    // Before the first point: a line without a number is the header, the
    // next one the units.
    if (!HoldsANumber(line, fields_)) {
      if (!record_.header) {
        record_.header = true;
        headerLine_ = line;
        return;
      }
      if (!sawUnits_) {
        sawUnits_ = true;
        unitsLine_ = line;
        return;
      }
    }
    delimiter_ = DetectDelimiter(line);
    Split(line, delimiter_, fields_);
    if (delimiter_ == ',' && LooksLikeDecimalCommaPairs(fields_)) {
      throw Refusal(Where() + Quote(line) + " has the comma both between its columns and as their decimal mark (" +
                    std::to_string(fields_.size()) + " numbers, or " + std::to_string(fields_.size() / 2) +
                    " with decimal commas): separate the columns with ';' or TAB");
    }
    ChooseColumns();
  } else {
    Split(line, delimiter_, fields_);
    const std::size_t width = record_.columns;
    if (fields_.size() != width) {
      if (fields_.size() == 1) {
        throw Refusal(Where() + "one column; expected " +
                          (width == 2 ? std::string("displacement and force") : std::to_string(width)) +
                          " separated by " + DelimiterName(delimiter_));
      }
      throw Refusal(Where() + std::to_string(fields_.size()) + " columns separated by " +
                        DelimiterName(delimiter_) + "; the lines before hold " + std::to_string(width));
    }
  }
  const double u = Number(fields_[uIndex_], "displacement ");
  const bool withForce = FIndex_ < record_.columns;
  const double F = withForce ? Number(fields_[FIndex_], "force ") : 0.0;
  record_.u.push_back(u);
  if (withForce) record_.F.push_back(F);
}

// On the first point's line (split into fields_): the displacement's and
// the force's columns, their names and units.
void RecordParser::ChooseColumns() {
  const std::size_t width = fields_.size();
  record_.columns = width;
  const std::vector<std::string> names = record_.header ? Texts(headerLine_, delimiter_, width)
                                                        : std::vector<std::string>();
  const std::vector<std::string> units = sawUnits_ ? Texts(unitsLine_, delimiter_, width) : std::vector<std::string>();
  std::vector<bool> numeric(width);
  for (std::size_t i = 0; i < width; ++i) numeric[i] = IsNumeric(fields_[i], delimiter_);
  const auto first = [&](auto holds, std::size_t other) {
    for (std::size_t i = 0; i < width; ++i) {
      if (i != other && holds(i)) return i;
    }
    return kNone;
  };

  const std::size_t firstNumber = choice_.firstNumber;
  std::size_t u = ChosenColumn(choice_.displacement, "displacement", names, width, firstNumber);
  std::size_t F = ChosenColumn(choice_.force, "force", names, width, firstNumber);
  if (u == kNone && !names.empty()) {
    u = BestNamed(names, SaysDisplacement, SaysForce, F, "displacement", choice_.displacementName, firstNumber);
  }
  // A history's force is read when it is asked for or named, or when its
  // displacement is the first numeric column by default as well.
  const bool forceByDefault = columns_ == Columns::kDisplacementAndForce || (u == kNone && F == kNone);
  if (F == kNone && !names.empty()) {
    F = BestNamed(names, SaysForce, SaysDisplacement, u, "force", choice_.forceName, firstNumber);
  }
  uByPosition_ = u == kNone;
  if (u == kNone) u = first([&](std::size_t i) { return numeric[i]; }, F);
  if (F == kNone && forceByDefault) F = first([&](std::size_t i) { return numeric[i]; }, u);
  if (u == kNone || (F == kNone && columns_ == Columns::kDisplacementAndForce)) {
    if (width == 1) throw Refusal(Where() + "one column; expected displacement and force");
    throw Refusal(Where() + (u == kNone && F == kNone ? std::string("no column holds a number")
                                                          : "only column " +
                                                                std::to_string((u == kNone ? F : u) + firstNumber) +
                                                                " holds a number") +
                      "; expected displacement and force");
  }
  if (u == F) {
    throw Refusal("the displacement and the force are both column " + std::to_string(u + firstNumber));
  }
  const auto describe = [&](std::size_t i) {
    RecordColumn c;
    c.number = i + 1;
    if (!names.empty()) c.name = names[i];
    c.unit = !units.empty() && !units[i].empty() ? std::string(Unbracketed(units[i]))
                                                 : std::string(NameAndUnit(c.name).second);
    return c;
  };
  uIndex_ = u;
  FIndex_ = F == kNone ? width : F;
  record_.displacement = describe(u);
  if (F != kNone) record_.force = describe(F);
}

// A chosen field's number, with a decimal comma where the delimiter allows
// one; a file holds decimal points or decimal commas, not both.
double RecordParser::Number(std::string_view field, const char* what) {
  const bool commaMay = CommaMayBeDecimal(delimiter_);
  const std::size_t comma = commaMay ? DecimalComma(field) : std::string_view::npos;
  std::string_view text = field;
  if (comma != std::string_view::npos) {
    if (decimal_ == Decimal::kPoint) {
      throw Refusal(Where() + "the " + what + Quote(field) + " has a decimal comma, the lines before decimal points");
    }
    decimal_ = Decimal::kComma;
    record_.decimalComma = true;
    scratch_.assign(field);
    scratch_[comma] = '.';
    text = scratch_;
  } else if (field.find('.') != std::string_view::npos) {
    if (decimal_ == Decimal::kComma) {
      throw Refusal(Where() + "the " + what + Quote(field) + " has a decimal point, the lines before decimal commas");
    }
    decimal_ = Decimal::kPoint;
  }
  double value = 0.0;
  const NumberStatus status = ReadCellNumber(text, value);
  if (status == NumberStatus::ok) return value;
  RefuseControlCharacters(field);
  const std::string subject = Where() + "the " + what + Quote(field);
  switch (status) {
    case NumberStatus::notFinite: throw Refusal(subject + " is not a finite number");
    case NumberStatus::outOfRange: throw Refusal(subject + " is beyond the range of a double");
    default:
      throw Refusal(subject + (commaMay ? " is not a number (the decimal separator is '.' or ',')"
                                            : " is not a number (the decimal point is '.')"));
  }
}

Record ParseRecord(std::string_view text, Columns columns, ColumnChoice choice) {
  RecordParser parser(columns, std::move(choice));
  parser.Feed(text);
  return parser.Finish();
}

Record ReadRecord(platform::InputFile& file, Columns columns, ColumnChoice choice) {
  constexpr std::size_t kChunk = 1 << 20;
  const auto buffer = std::make_unique<char[]>(kChunk);
  RecordParser parser(columns, std::move(choice));
  for (;;) {
    const std::size_t got = file.Read(buffer.get(), kChunk);
    if (got == 0) break;
    parser.Feed(std::string_view(buffer.get(), got));
  }
  return parser.Finish();
}

Record ReadRecordFile(platform::Services& services, const std::string& path, Columns columns, ColumnChoice choice) {
  const auto file = services.OpenForInput(path);
  return ReadRecord(*file, columns, std::move(choice));
}

}  // namespace quorix::measured
