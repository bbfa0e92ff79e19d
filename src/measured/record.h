// A cyclic test's force–displacement record: two numeric columns of text,
// displacement then force, read in a stream.
//
// Format: one point per line; an optional header line before the first
// point; lines whose first non-blank character is '#' and blank lines are
// skipped; the delimiter is found on the first point's line among ';',
// TAB, ',' and blanks (in that order, so "1,5;2" reads as a bad number, not
// as three columns) and must then be the same on every line; "." is the
// only decimal point; CR LF and LF line ends both do, and a UTF-8 byte-order
// mark at the start is skipped.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "services.h"

namespace quorix::measured {

// A record that cannot be read. The message names the line (1-based) and
// what was wrong with it, e.g. "line 7: the force "1.2.3" is not a number".
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Record {
  std::vector<double> u;  // displacement
  std::vector<double> F;  // force; empty for a record of displacements alone
};

// What a record may hold: displacement and force, or (for a displacement
// history) also the displacement alone, one column, decided by the first
// point's line.
enum class Columns { kDisplacementAndForce, kDisplacementWithOptionalForce };

// The longest line read; a longer one (a binary file, a file without line
// ends) is an error rather than an unbounded buffer.
inline constexpr std::size_t kMaxLineLength = 4096;

// Parses a record fed in pieces of any size: memory is the points kept plus
// one line.
class RecordParser {
 public:
  explicit RecordParser(Columns columns = Columns::kDisplacementAndForce) : columns_(columns) {}
  void Feed(std::string_view bytes);
  // Ends the input: parses a last line without a line end and checks that
  // there was at least one point. Throws RecordError.
  Record Finish();

 private:
  void Line(std::string_view line);

  Record record_;
  std::string pending_;  // a line not yet ended
  std::size_t lineNumber_ = 0;
  bool sawHeaderOrPoint_ = false;
  char delimiter_ = 0;  // 0: not yet known; ' ' stands for runs of blanks
  Columns columns_;
  std::size_t width_ = 0;  // columns of the first point's line; 0: not yet known
};

Record ParseRecord(std::string_view text, Columns columns = Columns::kDisplacementAndForce);

// Reads a whole file through the platform's input, in chunks. Throws
// RecordError for its content and platform::PlatformError when it cannot be
// opened or read.
Record ReadRecord(platform::InputFile& file, Columns columns = Columns::kDisplacementAndForce);
Record ReadRecordFile(platform::Services& services, const std::string& path,
                      Columns columns = Columns::kDisplacementAndForce);

}  // namespace quorix::measured
