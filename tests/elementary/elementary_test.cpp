// The C library's functions that the engine calls, against Linux x86-64's results bit for bit:
// some 10⁵ arguments a function over the ranges the engine uses, and the hardest cases (the
// ends of the ranges, subnormals, the neighbourhood of 1 and of the multiples of π/2).
// data/expected.txt holds a hash of every 1000 results and the hard cases' results in full;
// make_expected.py makes it with the same generator, written again in Python, and the C
// library called directly. A target whose library rounds one result otherwise fails here,
// with the argument and both bit patterns, before a solve shows it in its last digit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15u;
constexpr std::uint64_t kQuietNan = 0x7FF8000000000000u;
constexpr int kBlock = 1000;
constexpr double kPi = 3.141592653589793, kHalfPi = 1.5707963267948966, kLn2 = 0.6931471805599453;

std::uint64_t BitsOf(double x) {
  std::uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}

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

// One result's share of its block's hash: a sum, so that a block with one differing result
// tells which (see Repair).
std::uint64_t Term(std::uint64_t index, std::uint64_t word) { return Mix(word ^ (index * kGolden)); }

// splitmix64 from the FNV-1a hash of the function's name: the same stream on every target
// (no standard distribution, whose outputs the libraries define differently).
class Stream {
 public:
  explicit Stream(const std::string& name) {
    for (unsigned char c : name) state_ = (state_ ^ c) * 0x100000001B3u;
  }
  std::uint64_t Next() {
    state_ += kGolden;
    return Mix(state_);
  }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1p-53; }

 private:
  std::uint64_t state_ = 0xCBF29CE484222325u;
};

// The samplers of make_expected.py (its comment says what each gives).
enum class Kind { kUniform, kBinades, kOffset, kNear, kScaled, kInteger, kHalf, kFixed, kNegProduct };
struct Sampler {
  Kind kind;
  double a = 0, b = 0, c = 0, d = 0;
};
Sampler U(double a, double b) { return {Kind::kUniform, a, b}; }
Sampler B(int e0, int e1, int sign) { return {Kind::kBinades, double(e0), double(e1), double(sign)}; }
Sampler O(double offset, int e0, int e1, int sign) {
  return {Kind::kOffset, offset, double(e0), double(e1), double(sign)};
}
Sampler N(double multiple, int count, int ulps) { return {Kind::kNear, multiple, double(count), double(ulps)}; }
Sampler S(double a, double b, double scale) { return {Kind::kScaled, a, b, scale}; }
Sampler I(int a, int b) { return {Kind::kInteger, double(a), double(b)}; }
Sampler Half(int a, int b) { return {Kind::kHalf, double(a), double(b)}; }
Sampler F(double a) { return {Kind::kFixed, a}; }
Sampler P() { return {Kind::kNegProduct}; }

double Binades(Stream& stream, double e0, double e1, double sign) {
  const std::uint64_t r1 = stream.Next(), r2 = stream.Next();
  const auto lo = static_cast<std::uint64_t>(e0), hi = static_cast<std::uint64_t>(e1);
  const std::uint64_t exponent = lo + r1 % (hi - lo + 1);
  const bool negative = sign == 1 || (sign == 2 && (r2 >> 63) == 1);
  return DoubleOf((std::uint64_t(negative) << 63) | (exponent << 52) | (r2 & ((std::uint64_t(1) << 52) - 1)));
}

std::int64_t IntegerIn(Stream& stream, double a, double b) {
  const auto lo = static_cast<std::int64_t>(a), hi = static_cast<std::int64_t>(b);
  return lo + static_cast<std::int64_t>(stream.Next() % static_cast<std::uint64_t>(hi - lo + 1));
}

double Sample(Stream& stream, const Sampler& s, const std::vector<double>& earlier) {
  switch (s.kind) {
    case Kind::kUniform: {
      const double u = stream.Unit();
      return s.a + (s.b - s.a) * u;
    }
    case Kind::kBinades: return Binades(stream, s.a, s.b, s.c);
    case Kind::kOffset: return s.a + Binades(stream, s.b, s.c, s.d);
    case Kind::kNear: {
      const std::uint64_t k = 1 + stream.Next() % static_cast<std::uint64_t>(s.b);
      const auto width = static_cast<std::uint64_t>(2 * s.c + 1);
      const std::int64_t j = static_cast<std::int64_t>(stream.Next() % width) - static_cast<std::int64_t>(s.c);
      return DoubleOf(BitsOf(static_cast<double>(k) * s.a) + static_cast<std::uint64_t>(j));
    }
    case Kind::kScaled: {
      const double u = stream.Unit();
      return (s.a + (s.b - s.a) * u) * s.c;
    }
    case Kind::kInteger: return static_cast<double>(IntegerIn(stream, s.a, s.b));
    case Kind::kHalf: return static_cast<double>(IntegerIn(stream, s.a, s.b)) + 0.5;
    case Kind::kFixed: return s.a;
    case Kind::kNegProduct: return -(earlier[0] * earlier[1]);
  }
  return 0;
}

std::uint64_t Word(double result) { return std::isnan(result) ? kQuietNan : BitsOf(result); }

using Call = std::function<std::uint64_t(const std::vector<double>&)>;
struct Function {
  const char* name;
  int blocks;
  std::vector<std::vector<Sampler>> ranges;
  Call call;
};

Call One(double (*f)(double)) {
  return [f](const std::vector<double>& x) { return Word(f(x[0])); };
}
Call Two(double (*f)(double, double)) {
  return [f](const std::vector<double>& x) { return Word(f(x[0], x[1])); };
}
Call Scale(double (*f)(double, int)) {
  return [f](const std::vector<double>& x) { return Word(f(x[0], static_cast<int>(x[1]))); };
}

// The engine's calls go through <cmath>'s std:: functions, and so do these.
const std::vector<Function>& Functions() {
  static const std::vector<Function> functions = {
      {"exp", 100,
       {{U(-745.2, 709.8)}, {U(-1, 1)}, {B(0x3C0, 0x3FE, 2)}, {U(700, 709.79)}, {U(-745.14, -700)},
        {B(0, 0x3BF, 2)}, {N(kLn2, 1000, 3)}},
       One([](double x) { return std::exp(x); })},
      {"log", 100, {{B(1, 0x7FE, 0)}, {B(0, 0, 0)}, {U(0.5, 2)}, {O(1, 0x3CA, 0x3FD, 2)}, {U(0, 1)}},
       One([](double x) { return std::log(x); })},
      {"pow", 100,
       {{U(0, 1), U(0.05, 30)}, {U(0, 1), U(-30, 30)}, {U(0, 1), I(0, 200)}, {O(1, 0x3C0, 0x3F0, 2), U(-1e6, 1e6)},
        {B(1, 0x7FE, 0), U(-5, 5)}, {B(0x3C0, 0x43F, 0), U(-300, 300)}, {B(0, 0, 0), U(0, 1.5)},
        {U(1e-5, 1e-3), U(40, 60)}, {U(-10, 10), I(-60, 60)}},
       Two([](double x, double y) { return std::pow(x, y); })},
      {"sin", 100,
       {{U(-600, 600)}, {U(-4, 4)}, {S(-200, 0, kPi)}, {B(0x3C0, 0x433, 2)}, {B(0x434, 0x7FE, 2)},
        {N(kHalfPi, 1000000, 4)}, {B(0, 0x3BF, 2)}},
       One([](double x) { return std::sin(x); })},
      {"tan", 100,
       {{U(0, 0.8)}, {S(0, 0.25, kPi)}, {U(-1.6, 1.6)}, {N(kHalfPi, 100000, 4)}, {B(0x3C0, 0x433, 2)},
        {B(0x434, 0x7FE, 2)}, {B(0, 0x3BF, 2)}},
       One([](double x) { return std::tan(x); })},
      {"expm1", 100,
       {{U(-40, 709.78)}, {U(-1, 1)}, {B(0x3C0, 0x3FE, 2)}, {U(-0.35, 0.35)}, {U(700, 709.79)}, {B(0, 0x3BF, 2)},
        {U(-745, -40)}},
       One([](double x) { return std::expm1(x); })},
      {"log1p", 100,
       {{U(-1, 4)}, {B(0x3C0, 0x7FE, 0)}, {B(0x3C0, 0x3FE, 1)}, {O(-1, 0x3C0, 0x3FD, 0)}, {B(0, 0x3BF, 2)}},
       One([](double x) { return std::log1p(x); })},
      {"fma", 100,
       {{B(0x3C0, 0x43F, 2), B(0x3C0, 0x43F, 2), B(0x3C0, 0x43F, 2)},
        {B(0x3FF, 0x3FF, 2), B(0x3FF, 0x3FF, 2), P()},
        {B(0x1E0, 0x220, 2), B(0x1E0, 0x220, 2), B(0, 3, 2)},
        {B(0x5F0, 0x600, 2), B(0x5F0, 0x600, 2), B(0x7F0, 0x7FE, 2)}},
       [](const std::vector<double>& x) { return Word(std::fma(x[0], x[1], x[2])); }},
      {"sqrt", 20, {{B(0, 0x7FE, 0)}}, One([](double x) { return std::sqrt(x); })},
      {"fmod", 20, {{B(0, 0x7FE, 2), B(0, 0x7FE, 0)}, {U(-1000, 1000), F(2)}},
       Two([](double x, double y) { return std::fmod(x, y); })},
      {"floor", 20, {{U(-1e6, 1e6)}, {B(0x3C0, 0x434, 2)}, {Half(-(1 << 20), 1 << 20)}},
       One([](double x) { return std::floor(x); })},
      {"ceil", 20, {{U(-1e6, 1e6)}, {B(0x3C0, 0x434, 2)}, {Half(-(1 << 20), 1 << 20)}},
       One([](double x) { return std::ceil(x); })},
      {"nearbyint", 20, {{U(-1e6, 1e6)}, {B(0x3C0, 0x434, 2)}, {Half(-(1 << 20), 1 << 20)}},
       One([](double x) { return std::nearbyint(x); })},
      {"frexp", 20, {{B(0, 0x7FE, 2)}},
       [](const std::vector<double>& x) {
         int e = 0;
         const double m = std::frexp(x[0], &e);
         return Word(m) + static_cast<std::uint64_t>(static_cast<std::int64_t>(e)) * kGolden;
       }},
      {"ilogb", 20, {{B(0, 0x7FE, 2)}},
       [](const std::vector<double>& x) {
         return static_cast<std::uint64_t>(static_cast<std::int64_t>(std::ilogb(x[0])));
       }},
      {"ldexp", 20, {{B(0, 0x7FE, 2), I(-2100, 2100)}}, Scale([](double x, int n) { return std::ldexp(x, n); })},
      {"scalbn", 20, {{B(0, 0x7FE, 2), I(-2100, 2100)}}, Scale([](double x, int n) { return std::scalbn(x, n); })},
      {"nextafter", 20, {{B(0, 0x7FE, 2), B(0, 0x7FE, 2)}},
       Two([](double x, double y) { return std::nextafter(x, y); })},
  };
  return functions;
}

std::vector<std::vector<double>> Arguments(const Function& f) {
  Stream stream(f.name);
  std::vector<std::vector<double>> cases(static_cast<std::size_t>(f.blocks) * kBlock);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    for (const Sampler& s : f.ranges[i % f.ranges.size()]) cases[i].push_back(Sample(stream, s, cases[i]));
  }
  return cases;
}

// The C library's two ways on x86-64 (make_expected.py): Linux's takes the fused one where
// the processor and the system have FMA and AVX2, and so does the Windows build
// (cmake/libm/select.c), unless QUORIX_LIBM=plain tells it to take the other one;
// arm64's library is compiled with fused multiply-add throughout; WebAssembly has none.
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

struct Expected {
  std::map<std::string, std::uint64_t> arguments;
  std::map<std::pair<std::string, int>, std::uint64_t> blocks;
  struct Hard {
    std::string function;
    std::vector<double> arguments;
    std::uint64_t word;
  };
  std::vector<Hard> hard;
};

Expected ReadExpected(bool fused) {
  std::ifstream in(QUORIX_TEST_DATA_DIR "/expected.txt");
  EXPECT_TRUE(in.good()) << "no " QUORIX_TEST_DATA_DIR "/expected.txt";
  Expected e;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string tag, name;
    words >> tag >> name;
    if (tag == "args") {
      words >> std::hex >> e.arguments[name];
    } else if (tag == "block" || (tag == "plain" && !fused)) {
      int block = 0;
      words >> std::dec >> block >> std::hex >> e.blocks[{name, block}];
    } else if (tag == "hard") {
      std::vector<std::uint64_t> fields;
      for (std::uint64_t v; words >> std::hex >> v;) fields.push_back(v);
      Expected::Hard h{name, {}, fused ? fields[fields.size() - 2] : fields.back()};
      for (std::size_t i = 0; i + 2 < fields.size(); ++i) h.arguments.push_back(DoubleOf(fields[i]));
      e.hard.push_back(h);
    }
  }
  return e;
}

std::string Show(const std::vector<double>& args) {
  std::ostringstream out;
  out.precision(17);
  for (std::size_t i = 0; i < args.size(); ++i) {
    out << (i ? ", " : "") << args[i] << " (" << std::hex << BitsOf(args[i]) << std::dec << ")";
  }
  return out.str();
}

// A block whose hash differs in one result by a few units of the last place: which result,
// and the bits Linux gives there (a result's bit pattern moves by k as it moves k ulps).
// With more than one such result the block's arguments and Linux's results come from
// make_expected.py --show.
std::string Repair(const Function& f, const std::vector<std::vector<double>>& cases, int block,
                   const std::vector<std::uint64_t>& words, std::uint64_t expected, std::uint64_t actual) {
  const std::uint64_t delta = expected - actual;
  for (int k = 0; k < kBlock; ++k) {
    const std::uint64_t index = static_cast<std::uint64_t>(block) * kBlock + k;
    const std::uint64_t word = words[k];
    for (std::int64_t step = -16; step <= 16; ++step) {
      if (step == 0) continue;
      const std::uint64_t candidate = word + static_cast<std::uint64_t>(step);
      if (Term(index, candidate) - Term(index, word) == delta) {
        std::ostringstream out;
        out << f.name << "(" << Show(cases[index]) << ") = " << std::hex << word << ", Linux " << candidate << std::dec
            << " (" << -step << " ulp)";
        return out.str();
      }
    }
  }
  std::ostringstream out;
  out << f.name << " block " << block << ": more than one result differs, or one by more than 16 ulps; first argument "
      << Show(cases[static_cast<std::size_t>(block) * kBlock]) << " (Linux's: make_expected.py --show " << f.name << " "
      << block << ")";
  return out.str();
}

TEST(ElementaryFunctions, ResultsAreLinuxsBitForBit) {
  const bool fused = FusedKind();
  const Expected expected = ReadExpected(fused);
  std::cout << "[elementary] the C library's " << (fused ? "fused (FMA and AVX2)" : "plain") << " kind\n";
  for (const Function& f : Functions()) {
    const auto cases = Arguments(f);
    std::uint64_t arguments = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      for (double a : cases[i]) arguments += Term(i, BitsOf(a));
    }
    ASSERT_EQ(expected.arguments.count(f.name), 1u) << f.name;
    // A generator that strays from make_expected.py's would fail every block below.
    ASSERT_EQ(arguments, expected.arguments.at(f.name)) << f.name << ": the arguments are not make_expected.py's";
    int differing = 0;
    for (int block = 0; block < f.blocks; ++block) {
      std::vector<std::uint64_t> words;
      std::uint64_t hash = 0;
      for (int k = 0; k < kBlock; ++k) {
        const std::uint64_t index = static_cast<std::uint64_t>(block) * kBlock + k;
        words.push_back(f.call(cases[index]));
        hash += Term(index, words.back());
      }
      const std::uint64_t want = expected.blocks.at({f.name, block});
      if (hash != want && ++differing <= 5) ADD_FAILURE() << Repair(f, cases, block, words, want, hash);
    }
    EXPECT_EQ(differing, 0) << f.name << ": blocks of " << kBlock << " results other than Linux's, of " << f.blocks;
  }
}

TEST(ElementaryFunctions, HardCasesAreLinuxsBitForBit) {
  const bool fused = FusedKind();
  const Expected expected = ReadExpected(fused);
  std::map<std::string, const Function*> byName;
  for (const Function& f : Functions()) byName[f.name] = &f;
  ASSERT_GT(expected.hard.size(), 100u);
  for (const auto& h : expected.hard) {
    ASSERT_EQ(byName.count(h.function), 1u) << h.function;
    EXPECT_EQ(byName.at(h.function)->call(h.arguments), h.word)
        << h.function << "(" << Show(h.arguments) << "): Linux's bits " << std::hex << h.word;
  }
}

}  // namespace
