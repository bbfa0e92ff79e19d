// quorix-cli against Linux x86-64's answers byte for byte, over the cases where a last-place
// difference of the C library would show (data/acceptance_wide.txt, made by
// make_acceptance_wide.py): solves at and near saturation, the hypergeometric evaluator on
// both sides of its decisions, gamma, log-gamma and digamma at negative and very large
// arguments, sweeps of every n. scripts/cross.sh runs it against every target's program.
// Linux's library has two kinds of its functions (with fused multiply-add on processors with
// FMA and AVX2, and without), and a few answers differ between them: the table holds both
// there, and every answer of one program must be of the same kind.
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli_process.h"

namespace {

using namespace quorix::testing;
using AcceptanceWideTest = TempFolderTest;

std::string Unescape(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';
    out += c == '\0' ? text[i] : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::uint64_t Fnv1a(const std::string& line) {
  std::uint64_t h = 0xCBF29CE484222325u;
  for (unsigned char c : line) h = (h ^ c) * 0x100000001B3u;
  return h;
}

// Standard output as text ("out ..."), or as the hash of each line ("lines ...").
struct Output {
  bool hashed = false;
  std::string text;
  std::vector<std::uint64_t> lines;
};

Output ReadOutput(const std::string& line) {
  const bool text = line.starts_with("out ");
  Output o{.hashed = !text, .text = text ? Unescape(line.substr(4)) : "", .lines = {}};
  std::istringstream hashes(o.hashed ? line.substr(5) : "");
  for (std::uint64_t h; hashes >> std::hex >> h;) o.lines.push_back(h);
  return o;
}

struct Case {
  int status = 0;
  Args args;
  Output fused;
  bool differs = false;  // without fused multiply-add, another answer:
  Output plain;
  std::string err;
  std::string Command() const {
    std::string text = "quorix-cli";
    for (const std::string& a : args) text += " " + a;
    return text;
  }
};

std::vector<Case> ReadCases() {
  std::ifstream in(QUORIX_TEST_DATA_DIR "/acceptance_wide.txt", std::ios::binary);
  std::vector<Case> cases;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("case ", 0) == 0) {
      Case c;
      std::istringstream fields(line.substr(5));
      std::string field;
      std::getline(fields, field, '\t');
      c.status = std::stoi(field);
      while (std::getline(fields, field, '\t')) c.args.push_back(field);
      cases.push_back(c);
    } else if (line.rfind("out ", 0) == 0 || line.rfind("lines", 0) == 0) {
      cases.back().fused = ReadOutput(line);
    } else if (line.rfind("plain-", 0) == 0) {
      cases.back().differs = true;
      cases.back().plain = ReadOutput(line.substr(6));
    } else if (line.rfind("err ", 0) == 0) {
      cases.back().err = Unescape(line.substr(4));
    }
  }
  return cases;
}

// How `out` differs from Linux's answer: the first other line, with its number; "" when
// it is the same.
std::string Difference(const std::string& out, const Output& expected) {
  if (!expected.hashed) return out == expected.text ? "" : "other than Linux's: " + out;
  std::vector<std::string> lines = Split(out, "\n");
  if (!out.empty() && out.back() != '\n') lines.push_back(out.substr(out.rfind('\n') + 1));
  for (std::size_t i = 0; i < std::max(lines.size(), expected.lines.size()); ++i) {
    if (i >= lines.size()) return "line " + std::to_string(i + 1) + " missing";
    if (i >= expected.lines.size()) return "line " + std::to_string(i + 1) + " more than Linux's: " + lines[i];
    if (Fnv1a(lines[i]) != expected.lines[i]) {
      return "line " + std::to_string(i + 1) + " other than Linux's: " + lines[i];
    }
  }
  return "";
}

TEST_F(AcceptanceWideTest, AnswersAreLinuxsByteForByte) {
  const std::vector<Case> cases = ReadCases();
  ASSERT_GE(cases.size(), 100u) << "no " QUORIX_TEST_DATA_DIR "/acceptance_wide.txt";
  std::size_t rows = 0, other = 0;
  std::vector<std::string> fusedKind, plainKind;  // the cases that tell the kinds apart, by the kind answered
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    SCOPED_TRACE(c.Command());
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, c.err);
    const std::string fused = Difference(run.out, c.fused);
    const bool plain = c.differs && Difference(run.out, c.plain).empty();
    if (c.differs && fused.empty()) fusedKind.push_back(c.Command());
    if (plain) plainKind.push_back(c.Command());
    if (!fused.empty() && !plain) {
      ADD_FAILURE() << fused;
      ++other;
    }
    rows += c.fused.lines.size();
  }
  EXPECT_TRUE(fusedKind.empty() || plainKind.empty())
      << "answers of both kinds of the C library: " << fusedKind.front() << " with fused multiply-add, "
      << (plainKind.empty() ? "" : plainKind.front()) << " without";
  std::cout << "[acceptance] " << cases.size() << " runs (" << rows << " lines of solves and sweeps), " << other
            << " answering otherwise than Linux; "
            << (!fusedKind.empty() ? "as Linux's library with fused multiply-add"
                : !plainKind.empty() ? "as Linux's library without fused multiply-add"
                                     : "no answer tells the library's kinds apart")
            << "\n";
}

}  // namespace
