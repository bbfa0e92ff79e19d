// Reading records: the formats a test machine writes, and every kind of bad
// file with the line it names.
#include <gtest/gtest.h>

#include <string>

#include "fake_services.h"
#include "record.h"

namespace quorix::measured {
namespace {

struct GoodCase {
  const char* name;
  const char* text;
  std::vector<double> u, F;
};

class GoodRecords : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodRecords, ReadEveryPoint) {
  const GoodCase& c = GetParam();
  const Record r = ParseRecord(c.text);
  EXPECT_EQ(r.u, c.u);
  EXPECT_EQ(r.F, c.F);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, GoodRecords,
    ::testing::Values(
        GoodCase{"comma_header_crlf", "u [mm],F [kN]\r\n1.5,-2\r\n-0.25,3e2\r\n", {1.5, -0.25}, {-2, 300}},
        GoodCase{"semicolon_blanks", "# test 7\n  1 ; 2 \n\n3;4", {1, 3}, {2, 4}},
        GoodCase{"tab", "d\tF\n1\t2\n+3\t-4.\n", {1, 3}, {2, -4}},
        GoodCase{"blanks", "  1   2\n3 \t 4\n#end\n", {1, 3}, {2, 4}},
        GoodCase{"byte_order_mark", "\xEF\xBB\xBF" "1;2\n3;4\n", {1, 3}, {2, 4}},
        GoodCase{"exponents_and_points", "1E-3,.5\n-.5e+1,2.\n", {1e-3, -5}, {0.5, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
  const char* name;
  std::string text;
  const char* message;  // a part of the error's message
};

class BadRecords : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadRecords, NameTheProblem) {
  const BadCase& c = GetParam();
  try {
    ParseRecord(c.text);
    FAIL() << "accepted";
  } catch (const RecordError& e) {
    EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, BadRecords,
    ::testing::Values(BadCase{"empty", "", "the record is empty"},
                      BadCase{"only_comments_and_header", "# x\nu,F\n\n", "holds no points (3 lines read)"},
                      BadCase{"single_column", "1\n2\n", "line 1: one column"},
                      BadCase{"single_column_later", "1,2\n3\n", "line 2: one column"},
                      BadCase{"three_columns", "u F t\n1 2 3\n", "line 2: 3 columns"},
                      BadCase{"decimal_comma", "1;2\n1,5;2,5\n", "line 2: the displacement \"1,5\" is not a number"},
                      BadCase{"delimiter_changes", "1,2\n3;4\n", "line 2: one column"},
                      BadCase{"bad_force", "u,F\n1,2\n3,abc\n", "line 3: the force \"abc\" is not a number"},
                      BadCase{"header_after_points", "1,2\nu,F\n", "line 2: the displacement \"u\""},
                      BadCase{"nan", "1,2\n3,nan\n", "line 2: the force \"nan\" is not a finite number"},
                      BadCase{"infinity", "-inf,2\n", "line 1: the displacement \"-inf\" is not a finite"},
                      BadCase{"overflow", "1,1e999\n", "line 1: the force \"1e999\" is beyond the range"},
                      BadCase{"trailing_delimiter", "1,2,\n", "line 1: 3 columns"},
                      BadCase{"double_sign", "1,+-2\n", "not a number"},
                      BadCase{"hex", "1,2\n0x10,2\n", "line 2: the displacement \"0x10\" is not a number"},
                      BadCase{"long_line", "1,2\n" + std::string(5000, '7'), "line 2 is longer than 4096"},
                      BadCase{"binary", std::string("\x7f" "ELF\x01\x02\0\0\n\x03\x04\0,\x05\n", 15),
                              "line 2: the displacement"}),
    [](const auto& info) { return std::string(info.param.name); });

// The file read through the platform in small pieces gives what the whole
// text gives: lines cut anywhere, a CR LF cut between its two bytes.
TEST(ReadRecordFile, PiecesJoinToTheWholeText) {
  quorix::testing::FakeServices services;
  std::string text = "u;F\r\n";
  for (int i = 0; i < 500; ++i) text += std::to_string(i * 0.001) + ";" + std::to_string(-i * 0.25) + "\r\n";
  services.files["rec.csv"] = text;
  const Record whole = ParseRecord(text);
  for (std::size_t chunk : {1u, 7u, 4096u}) {
    services.readChunk = chunk;
    const Record read = ReadRecordFile(services, "rec.csv");
    EXPECT_EQ(read.u, whole.u);
    EXPECT_EQ(read.F, whole.F);
  }
  EXPECT_EQ(whole.u.size(), 500u);
}

TEST(ReadRecordFile, PlatformFailuresPassThrough) {
  quorix::testing::FakeServices services;
  EXPECT_THROW(ReadRecordFile(services, "missing.csv"), platform::PlatformError);
  services.files["rec.csv"] = "1,2\n3,4\n";
  services.failReadAfter = 3;
  EXPECT_THROW(ReadRecordFile(services, "rec.csv"), platform::PlatformError);
}

}  // namespace
}  // namespace quorix::measured
