// The C library's functions that the engine calls, against Linux x86-64's results bit for bit:
// 2·10⁴ to 10⁵ arguments a function over the ranges the engine uses, and the hardest cases.
// data/expected.txt (make_expected.py) holds the samplers, a hash of each function's results
// and the hard cases' results. A target whose library rounds one result otherwise fails here,
// before a solve shows it in its last digit.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "checks.h"

namespace {

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15u;

using quorix::testing::Bits;

double DoubleOf(std::uint64_t u) {
  double x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}

std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// One value's share of a hash (make_expected.py's term).
std::uint64_t Term(std::uint64_t index, std::uint64_t word) { return Mix(word ^ (index * kGolden)); }

// splitmix64 from the FNV-1a hash of the function's name: the same stream on every target.
class Stream {
 public:
  explicit Stream(const std::string& name) {
    for (unsigned char c : name) state_ = (state_ ^ c) * 0x100000001B3u;
  }
  std::uint64_t Next() { return Mix(state_ += kGolden); }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1p-53; }
  double Integer(double a, double b) {
    const auto lo = static_cast<std::int64_t>(a), hi = static_cast<std::int64_t>(b);
    return static_cast<double>(lo + static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(hi - lo + 1)));
  }
  double Binades(double e0, double e1, double sign) {
    const std::uint64_t r1 = Next(), r2 = Next();
    const auto lo = static_cast<std::uint64_t>(e0), hi = static_cast<std::uint64_t>(e1);
    const bool negative = sign == 1 || (sign == 2 && (r2 >> 63) == 1);
    return DoubleOf((std::uint64_t(negative) << 63) | ((lo + r1 % (hi - lo + 1)) << 52) | (r2 & ((1ull << 52) - 1)));
  }

 private:
  std::uint64_t state_ = 0xCBF29CE484222325u;
};

// A sampler of make_expected.py: its letter and numbers.
struct Sampler {
  char kind;
  std::vector<double> p;
};

double Sample(Stream& s, const Sampler& r, const std::vector<double>& earlier) {
  const std::vector<double>& p = r.p;
  switch (r.kind) {
    case 'U': return p[0] + (p[1] - p[0]) * s.Unit();
    case 'B': return s.Binades(p[0], p[1], p[2]);
    case 'O': return p[0] + s.Binades(p[1], p[2], p[3]);
    case 'N': {
      const std::uint64_t k = 1 + s.Next() % static_cast<std::uint64_t>(p[1]);
      const auto width = static_cast<std::uint64_t>(2 * p[2] + 1);
      const std::int64_t j = static_cast<std::int64_t>(s.Next() % width) - static_cast<std::int64_t>(p[2]);
      return DoubleOf(Bits(static_cast<double>(k) * p[0]) + static_cast<std::uint64_t>(j));
    }
    case 'S': return (p[0] + (p[1] - p[0]) * s.Unit()) * p[2];
    case 'I': return s.Integer(p[0], p[1]);
    case 'H': return s.Integer(p[0], p[1]) + 0.5;
    case 'F': return p[0];
    default: return -(earlier[0] * earlier[1]);  // 'P'
  }
}

// The result's bits; every NaN as one.
std::uint64_t Word(double result) { return std::isnan(result) ? 0x7FF8000000000000u : Bits(result); }

using Call = std::function<std::uint64_t(const std::vector<double>&)>;
Call One(double (*f)(double)) {
  return [f](const std::vector<double>& x) { return Word(f(x[0])); };
}
Call Two(double (*f)(double, double)) {
  return [f](const std::vector<double>& x) { return Word(f(x[0], x[1])); };
}
Call Scale(double (*f)(double, int)) {
  return [f](const std::vector<double>& x) { return Word(f(x[0], static_cast<int>(x[1]))); };
}

// Through <cmath>'s std:: functions, as the engine calls them.
const std::map<std::string, Call>& Calls() {
  static const std::map<std::string, Call> calls = {
      {"exp", One([](double x) { return std::exp(x); })},
      {"log", One([](double x) { return std::log(x); })},
      {"pow", Two([](double x, double y) { return std::pow(x, y); })},
      {"sin", One([](double x) { return std::sin(x); })},
      {"tan", One([](double x) { return std::tan(x); })},
      {"expm1", One([](double x) { return std::expm1(x); })},
      {"log1p", One([](double x) { return std::log1p(x); })},
      {"fma", [](const std::vector<double>& x) { return Word(std::fma(x[0], x[1], x[2])); }},
      {"sqrt", One([](double x) { return std::sqrt(x); })},
      {"fmod", Two([](double x, double y) { return std::fmod(x, y); })},
      {"floor", One([](double x) { return std::floor(x); })},
      {"ceil", One([](double x) { return std::ceil(x); })},
      {"nearbyint", One([](double x) { return std::nearbyint(x); })},
      {"frexp",
       [](const std::vector<double>& x) {
         int e = 0;
         const double m = std::frexp(x[0], &e);
         return Word(m) + static_cast<std::uint64_t>(static_cast<std::int64_t>(e)) * kGolden;
       }},
      {"ilogb",
       [](const std::vector<double>& x) {
         return static_cast<std::uint64_t>(static_cast<std::int64_t>(std::ilogb(x[0])));
       }},
      {"ldexp", Scale([](double x, int n) { return std::ldexp(x, n); })},
      {"scalbn", Scale([](double x, int n) { return std::scalbn(x, n); })},
      {"nextafter", Two([](double x, double y) { return std::nextafter(x, y); })},
  };
  return calls;
}

// Linux's library on x86-64 takes its fused multiply-add kind where the processor has FMA and
// AVX2, and so does the Windows build (cmake/libm/select.c) unless QUORIX_LIBM=plain; arm64's
// library is fused throughout; WebAssembly has no fused kind.
bool FusedKind() {
#if defined(__x86_64__)
  const char* asked = std::getenv("QUORIX_LIBM");
  if (asked != nullptr && std::string(asked) == "plain") return false;
  __builtin_cpu_init();
  return __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
#elif defined(__aarch64__)
  return true;
#else
  return false;
#endif
}

// Arguments and results as make_expected.py --show lists them: bits, and values in parentheses.
std::string Listed(std::uint64_t bits, const char* value = "") {
  char text[64];
  std::snprintf(text, sizeof text, "%016llx%s", static_cast<unsigned long long>(bits), value);
  return text;
}
std::string Listed(double a) {
  char value[32];
  std::snprintf(value, sizeof value, " (%.17g)", a);
  return Listed(Bits(a), value);
}
std::string Listed(const std::vector<double>& args) {
  std::string text;
  for (double a : args) text += " " + Listed(a);
  return text;
}

// Each line of data/expected.txt as its tag, name and words.
struct Line {
  std::string tag, name;
  std::vector<std::string> words;
};
std::vector<Line> ReadExpected() {
  std::ifstream in(QUORIX_TEST_DATA_DIR "/expected.txt");
  EXPECT_TRUE(in.good()) << "no " QUORIX_TEST_DATA_DIR "/expected.txt";
  std::vector<Line> lines;
  for (std::string text; std::getline(in, text);) {
    std::istringstream words(text);
    Line line;
    words >> line.tag >> line.name;
    for (std::string w; words >> w;) line.words.push_back(w);
    if (line.tag != "#") lines.push_back(line);
  }
  return lines;
}

std::uint64_t Hex(const std::string& word) { return std::strtoull(word.c_str(), nullptr, 16); }

TEST(ElementaryFunctions, ResultsAreLinuxsBitForBit) {
  const bool fused = FusedKind();
  std::cout << "[elementary] the C library's " << (fused ? "fused (FMA and AVX2)" : "plain") << " kind\n";
  const std::vector<Line> lines = ReadExpected();
  std::map<std::string, std::vector<std::string>> hashes;
  for (const Line& line : lines) {
    if (line.tag == "hash") hashes[line.name] = line.words;
  }
  int functions = 0;
  for (const Line& line : lines) {
    if (line.tag != "function") continue;
    ++functions;
    // The ranges, taken in turn: samplers separated by '|', each a letter and its numbers.
    std::vector<std::vector<Sampler>> ranges(1);
    for (std::size_t i = 1; i < line.words.size(); ++i) {
      const std::string& w = line.words[i];
      if (w == "|") ranges.emplace_back();
      else if (std::isalpha(static_cast<unsigned char>(w[0]))) ranges.back().push_back({w[0], {}});
      else ranges.back().back().p.push_back(std::strtod(w.c_str(), nullptr));
    }
    const Call& call = Calls().at(line.name);
    Stream stream(line.name);
    std::uint64_t arguments = 0, results = 0;
    std::vector<std::vector<double>> cases(1000 * std::stoull(line.words[0]));
    std::vector<std::uint64_t> words;
    for (std::uint64_t k = 0; k < cases.size(); ++k) {
      for (const Sampler& s : ranges[k % ranges.size()]) cases[k].push_back(Sample(stream, s, cases[k]));
      for (double a : cases[k]) arguments += Term(k, Bits(a));
      words.push_back(call(cases[k]));
      results += Term(k, words.back());
    }
    const std::vector<std::string>& want = hashes.at(line.name);
    // A generator that strays from make_expected.py's fails here, not as a library's difference.
    ASSERT_EQ(arguments, Hex(want[0])) << line.name << ": the arguments are not make_expected.py's";
    if (results == Hex(want[fused ? 1 : 2])) continue;
    // The results here, as make_expected.py --show lists Linux's, to compare line by line.
    const std::string path = "elementary_" + line.name + ".txt";
    std::ofstream listing(path);
    for (std::size_t k = 0; k < cases.size(); ++k) {
      listing << k << Listed(cases[k]) << " -> " << Listed(words[k]) << '\n';
    }
    ADD_FAILURE() << line.name << ": results other than Linux's; diff " << path
                  << " with what make_expected.py --show " << line.name << " writes on Linux";
  }
  EXPECT_EQ(functions, 18);
}

TEST(ElementaryFunctions, HardCasesAreLinuxsBitForBit) {
  const bool fused = FusedKind();
  int hard = 0;
  for (const Line& line : ReadExpected()) {
    if (line.tag != "hard") continue;
    ++hard;
    std::vector<double> args;
    for (std::size_t i = 0; i + 2 < line.words.size(); ++i) args.push_back(DoubleOf(Hex(line.words[i])));
    const std::uint64_t want = Hex(line.words[line.words.size() - (fused ? 2 : 1)]);
    EXPECT_EQ(Calls().at(line.name)(args), want)
        << line.name << Listed(args) << ": Linux's bits " << Listed(want);
  }
  EXPECT_GT(hard, 100);
}

}  // namespace
