// A cyclic test's force–displacement record: columns of numbers in text, as
// laboratory software and spreadsheets write them, read in a stream.
//
// Format: one point per line; an optional header line of column names, and
// after it an optional units line (e.g. "kN;mm"); lines whose first
// non-blank character is '#' and blank lines are skipped. A line before the
// first point that holds no number is the header, the next such line the
// units. The delimiter is found on the first point's line among ';', TAB,
// ',' and blanks (in that order) and must then be the same on every line,
// as must the number of columns. With ';' or TAB a decimal comma may stand
// for the point ("1,5;2,25"), but one file uses one of the two. Fields may
// be quoted ("1.5"). The text is UTF-8, with or without a byte-order mark,
// or UTF-16 (little or big endian) with its byte-order mark; lines end in
// LF, CR LF or CR alone.
//
// Any number of columns: the displacement and the force are chosen by
// number or by the header's name; by default the columns whose names say
// displacement ("disp…", "u", "stroke", "deflection") and force ("force",
// "load", "F"), else the first numeric columns.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "refusal.h"
#include "services.h"

namespace quorix::measured {

// A column as the file has it.
struct RecordColumn {
  std::size_t number = 0;  // from 1; 0: the record has no such column
  std::string name;        // the header's name (UTF-8); empty without a header
  std::string unit;        // the units line's, or the "[mm]" or "(mm)" that ends the name; empty if not known
};

struct Record {
  std::vector<double> u;  // displacement
  std::vector<double> F;  // force; empty for a record of displacements alone
  RecordColumn displacement, force;  // force.number is 0 when F is empty
  std::size_t columns = 0;           // the fields of each point's line
  bool header = false;
  bool decimalComma = false;  // the numbers were written with decimal commas
};

// What a record may hold: displacement and force, or (for a displacement
// history) also the displacement alone: the force is then read only when a
// column is named or chosen for it, or when the record's columns are the
// plain "displacement, force" of a file without names.
enum class Columns { kDisplacementAndForce, kDisplacementWithOptionalForce };

// The columns asked for, each empty (the default), a number counted from
// firstNumber ("3"), or a name the header gives, compared without regard
// to case and with or without a unit ("Stroke" finds "Stroke [mm]",
// "Stroke [mm]" finds "Stroke"). The messages count columns from
// firstNumber too and name the choices as the caller's user gives them:
// the command line counts from 1 and has options, Python counts from 0
// and has keywords.
struct ColumnChoice {
  std::string displacement, force;
  std::size_t firstNumber = 1;
  std::string displacementName = "--u-column", forceName = "--F-column";
};

// The longest line read; a longer one (a binary file, a file without line
// ends) is an error rather than an unbounded buffer.
inline constexpr std::size_t kMaxLineLength = 4096;

// Parses a record fed in pieces of any size: memory is the points kept plus
// one line (and the header and units lines until the first point).
class RecordParser {
 public:
  explicit RecordParser(Columns columns = Columns::kDisplacementAndForce, ColumnChoice choice = {})
      : columns_(columns), choice_(std::move(choice)) {}
  void Feed(std::string_view bytes);
  // Ends the input: parses a last line without a line end and checks that
  // there was at least one point. Throws Refusal.
  Record Finish();

 private:
  enum class Encoding { kUnknown, kUtf8, kUtf16LE, kUtf16BE };
  enum class Decimal { kUnknown, kPoint, kComma };
  void StartDecoding();
  void Decode(std::string_view bytes);
  void CodeUnit(unsigned unit);
  void Text(std::string_view text);
  void Line(std::string_view line);
  void ChooseColumns();
  double Number(std::string_view field, const char* what);
  std::string Where() const;
  void RefuseControlCharacters(std::string_view text) const;

  Record record_;
  Encoding encoding_ = Encoding::kUnknown;
  std::string head_;          // the first bytes, until they tell the encoding
  std::string utf8_;          // UTF-16 transcoded, one piece at a time
  int oddByte_ = -1;          // a UTF-16 code unit's first byte, waiting for its second
  unsigned highSurrogate_ = 0;  // a UTF-16 pair's first half, waiting for its second
  std::string pending_;       // a line not yet ended
  bool afterCR_ = false;      // the last line ended in CR: an LF next is its CR LF
  std::size_t lineNumber_ = 0;
  std::string headerLine_, unitsLine_;  // kept until the first point's line tells the delimiter
  bool sawUnits_ = false;
  char delimiter_ = 0;  // 0: not yet known; ' ' stands for runs of blanks
  Decimal decimal_ = Decimal::kUnknown;
  std::size_t uIndex_ = 0, FIndex_ = 0;  // from 0; FIndex_ == columns when there is no force
  bool uByPosition_ = false;  // the displacement is the first numeric column, neither asked for nor named
  std::vector<std::string_view> fields_;
  std::string scratch_;
  Columns columns_;
  ColumnChoice choice_;
};

Record ParseRecord(std::string_view text, Columns columns = Columns::kDisplacementAndForce, ColumnChoice choice = {});

// Reads a whole file through the platform's input, in chunks. Throws
// Refusal for its content and platform::PlatformError when it cannot be
// opened or read.
Record ReadRecord(platform::InputFile& file, Columns columns = Columns::kDisplacementAndForce,
                  ColumnChoice choice = {});
Record ReadRecordFile(platform::Services& services, const std::string& path,
                      Columns columns = Columns::kDisplacementAndForce, ColumnChoice choice = {});

}  // namespace quorix::measured
