#include "material_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>
#include <type_traits>
#include <cctype>
#include <vector>

#include "decimal.h"

namespace quorix::material {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// Python reads "2" as an int; the call's floats keep a point.
std::string PythonFloat(double x) {
  std::string text = decimal::ShortestText(x);
  if (text.find_first_of(".en") == std::string::npos) text += ".0";
  return text;
}

// The words of a Tcl line, or the arguments of a Python call with the
// quoted material name unquoted. The first word is the material's name.
struct Words {
  std::vector<std::string_view> words;
  bool python = false;
  bool element = false;  // an element command rather than uniaxialMaterial
};

Words Split(std::string_view text) {
  text = Trim(text);
  Words out;
  const std::size_t open = text.find('(');
  if (open != std::string_view::npos) {
    out.python = true;
    std::string_view callee = Trim(text.substr(0, open));
    const std::size_t dot = callee.rfind('.');
    if (dot != std::string_view::npos) callee = callee.substr(dot + 1);
    out.element = callee == "element";
    if (callee != "uniaxialMaterial" && !out.element) {
      throw Refusal("not a uniaxialMaterial call: \"" + std::string(callee) + "\"");
    }
    std::string_view rest = Trim(text.substr(open + 1));
    if (rest.empty() || rest.back() != ')') throw Refusal("the call's closing parenthesis is missing");
    rest = Trim(rest.substr(0, rest.size() - 1));
    while (!rest.empty()) {
      const std::size_t comma = rest.find(',');
      out.words.push_back(Trim(rest.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      rest = rest.substr(comma + 1);
      if (Trim(rest).empty()) break;  // a trailing comma, as Python allows
    }
    if (out.words.empty()) throw Refusal("the call has no arguments");
    std::string_view& name = out.words.front();
    if (name.size() < 2 || (name.front() != '\'' && name.front() != '"') || name.back() != name.front()) {
      throw Refusal("word 1 \"" + std::string(name) + "\": the material's name must be a quoted string");
    }
    name = name.substr(1, name.size() - 2);
    return out;
  }
  // Tcl: blanks separate the words; a trailing ';' ends the command.
  if (!text.empty() && text.back() == ';') text = Trim(text.substr(0, text.size() - 1));
  while (!text.empty()) {
    const std::size_t end = text.find_first_of(kBlanks);
    out.words.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text = Trim(text.substr(end));
  }
  out.element = !out.words.empty() && out.words.front() == "element";
  if (out.words.empty() || (out.words.front() != "uniaxialMaterial" && !out.element)) {
    throw Refusal("a material line begins with uniaxialMaterial");
  }
  out.words.erase(out.words.begin());
  if (out.words.empty()) throw Refusal("the material's name is missing after uniaxialMaterial");
  return out;
}

[[noreturn]] void BadWord(std::size_t index, std::string_view word, std::string_view name, std::string_view what) {
  throw Refusal("word " + std::to_string(index + 1) + " \"" + std::string(word) + "\" (" + std::string(name) +
                      ") is not " + std::string(what));
}

// The decimal exponent of a number text's leading nonzero digit (the text
// being a valid number): 2 for "123.4", −3 for "0.00123", 1000 for "1e1000".
long DecimalExponent(std::string_view word) {
  if (!word.empty() && (word.front() == '-' || word.front() == '+')) word.remove_prefix(1);
  const std::size_t e = word.find_first_of("eE");
  long exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view digits = word.substr(e + 1);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
    for (char ch : digits) exponent = std::min(exponent * 10 + (ch - '0'), 100000L);
    if (negative) exponent = -exponent;
  }
  const std::string_view mantissa = word.substr(0, e);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_not_of("0.");
  if (first == std::string_view::npos) return -100000;  // zero
  return exponent + (first < point ? static_cast<long>(point - first) - 1 : -static_cast<long>(first - point));
}

double Number(const Words& w, std::size_t index, std::string_view name) {
  std::string_view word = w.words[index];
  if (!word.empty() && word.front() == '+') word.remove_prefix(1);
  double value = 0.0;
  const auto [ptr, ec] = decimal::ReadDouble(word, value);
  if (word.empty() || ptr != word.data() + word.size()) {
    BadWord(index, w.words[index], name, "a number");
  }
  if (ec == std::errc::result_out_of_range) {
    // ReadDouble leaves the value alone: below the smallest subnormal the
    // number is ±0, as every C library reads it; above the largest double
    // it is refused.
    if (DecimalExponent(word) > 0) BadWord(index, w.words[index], name, "within the range of a double");
    value = word.front() == '-' ? -0.0 : 0.0;
  }
  if (!std::isfinite(value)) BadWord(index, w.words[index], name, "a finite number");
  return value;
}

long Whole(const Words& w, std::size_t index, std::string_view name) {
  const std::string_view word = w.words[index];
  long value = 0;
  const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || ec != std::errc() || ptr != word.data() + word.size()) {
    BadWord(index, word, name, "a whole number");
  }
  return value;
}

// Checks the count of words after the name: at least `required`, at most
// names.size().
template <std::size_t N>
void RequireCount(const Words& w, const std::array<std::string_view, N>& names, std::size_t required) {
  const std::size_t given = w.words.size() - 1;
  std::string list;
  for (std::size_t i = 0; i < required; ++i) {
    if (i) list += ' ';
    list += names[i];
  }
  if (given < required) {
    throw Refusal(std::string(w.words[0]) + " needs " + std::to_string(required) + " values after its name (" +
                        list + "), not " + std::to_string(given));
  }
  if (given > N) {
    throw Refusal("word " + std::to_string(N + 2) + " \"" + std::string(w.words[N + 1]) + "\": " +
                        std::string(w.words[0]) + " takes at most " + std::to_string(N) + " values after its name");
  }
}

OpenSeesBoucWen ParseBoucWen(const Words& w) {
  static constexpr std::array<std::string_view, 12> kNames = {
      "tag", "alpha", "ko", "n", "gamma", "beta", "Ao", "deltaA", "deltaNu", "deltaEta", "tol", "maxNumIter"};
  RequireCount(w, kNames, 10);
  OpenSeesBoucWen m;
  m.tag = Whole(w, 1, kNames[0]);
  double* fields[] = {&m.alpha, &m.ko, &m.n, &m.gamma, &m.beta, &m.Ao, &m.deltaA, &m.deltaNu, &m.deltaEta};
  for (std::size_t i = 0; i < 9; ++i) *fields[i] = Number(w, i + 2, kNames[i + 1]);
  if (w.words.size() > 11) Number(w, 11, kNames[10]);  // the tolerance: read, not used
  if (w.words.size() > 12) Whole(w, 12, kNames[11]);
  return m;
}

OpenSeesBoucWenOriginal ParseOriginal(const Words& w) {
  static constexpr std::array<std::string_view, 11> kNames = {
      "tag", "E", "fy", "alphaL", "alphaNL", "mu", "eta", "beta", "gamma", "tol", "maxIter"};
  RequireCount(w, kNames, 4);
  OpenSeesBoucWenOriginal m;
  m.tag = Whole(w, 1, kNames[0]);
  double* fields[] = {&m.E, &m.fy, &m.alphaL, &m.alphaNL, &m.mu, &m.eta, &m.beta, &m.gamma};
  const std::size_t given = w.words.size() - 2;
  for (std::size_t i = 0; i < 8 && i < given; ++i) *fields[i] = Number(w, i + 2, kNames[i + 1]);
  if (given > 8) Number(w, 10, kNames[9]);
  if (given > 9) Whole(w, 11, kNames[10]);
  return m;
}

// A word of the element kept as text, Tcl's way: a Python string unquoted
// ('-P' → -P), a Python name a Tcl variable (iNode → $iNode), the brackets
// of *[1, 2] dropped.
std::string KeptWord(const Words& w, std::string_view word) {
  if (!w.python) return std::string(word);
  if (word.starts_with("*[")) word.remove_prefix(2);
  if (word.ends_with("]")) word.remove_suffix(1);
  word = Trim(word);
  if (word.size() >= 2 && (word.front() == '\'' || word.front() == '"') && word.back() == word.front()) {
    return std::string(word.substr(1, word.size() - 2));
  }
  const bool name = !word.empty() && (std::isalpha(static_cast<unsigned char>(word.front())) || word.front() == '_');
  return name ? "$" + std::string(word) : std::string(word);
}

bool IsFlag(std::string_view word) {
  return word.size() >= 2 && word.front() == '-' && std::isalpha(static_cast<unsigned char>(word[1]));
}

// tag iNode jNode kInit qd alpha1 alpha2 mu, then eta beta gamma where given
// (defaults 1, ½, ½), then the other directions' words from the first flag.
ElastomericBearing ParseBearing(const Words& w) {
  static constexpr std::array<std::string_view, 11> kNames = {
      "tag", "iNode", "jNode", "kInit", "qd", "alpha1", "alpha2", "mu", "eta", "beta", "gamma"};
  std::size_t shear = 1;  // the words of the shear law end before the first flag
  while (shear < w.words.size() && !IsFlag(KeptWord(w, w.words[shear]))) ++shear;
  const Words head{{w.words.begin(), w.words.begin() + static_cast<std::ptrdiff_t>(shear)}, w.python, true};
  RequireCount(head, kNames, 8);
  ElastomericBearing m;
  m.tag = Whole(w, 1, kNames[0]);
  m.iNode = KeptWord(w, w.words[2]);
  m.jNode = KeptWord(w, w.words[3]);
  double* fields[] = {&m.kInit, &m.qd, &m.alpha1, &m.alpha2, &m.mu, &m.eta, &m.beta, &m.gamma};
  for (std::size_t i = 0; i + 4 < shear; ++i) *fields[i] = Number(w, i + 4, kNames[i + 3]);
  m.rest.clear();
  for (std::size_t i = shear; i < w.words.size(); ++i) m.rest.push_back(KeptWord(w, w.words[i]));
  return m;
}

}  // namespace

OpenSeesMaterial ParseOpenSees(std::string_view text) {
  const Words w = Split(text);
  const std::string_view name = w.words.front();
  if (w.element) {
    if (name == "elastomericBearingBoucWen" || name == "ElastomericBearingBoucWen") return ParseBearing(w);
    throw Refusal("the element \"" + std::string(name) + "\" is not one Quorix can map: elastomericBearingBoucWen");
  }
  if (name == "BoucWen") return ParseBoucWen(w);
  if (name == "BoucWenOriginal") return ParseOriginal(w);
  throw Refusal("the material \"" + std::string(name) +
                      "\" is not one Quorix can map: BoucWen or BoucWenOriginal, without degradation");
}

CsiWen ParseCsiWen(std::string_view text) {
  static constexpr std::array<std::string_view, 4> kKeys = {"k", "yield", "ratio", "exp"};
  std::array<std::optional<double>, 4> values;
  text = Trim(text);
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view pair = Trim(text.substr(0, comma));
    const std::size_t equals = pair.find('=');
    const std::string_view key = Trim(pair.substr(0, equals));
    std::size_t k = 0;
    while (k < kKeys.size() && kKeys[k] != key) ++k;
    if (equals == std::string_view::npos || k == kKeys.size()) {
      throw Refusal("\"" + std::string(pair) + "\" is not one of k=, yield=, ratio=, exp=");
    }
    if (values[k]) throw Refusal(std::string(key) + " is given twice");
    Words one;
    one.words = {Trim(pair.substr(equals + 1))};
    try {
      values[k] = Number(one, 0, key);
    } catch (const Refusal&) {
      throw Refusal(std::string(key) + ": \"" + std::string(one.words[0]) + "\" is not a finite number");
    }
    if (comma == std::string_view::npos) break;
    text = Trim(text.substr(comma + 1));
  }
  for (std::size_t k = 0; k < kKeys.size(); ++k) {
    if (!values[k]) throw Refusal("the Wen link needs " + std::string(kKeys[k]) + "= (k=…,yield=…,ratio=…,exp=…)");
  }
  return CsiWen{*values[0], *values[1], *values[2], *values[3]};
}

Case FromOpenSees(const OpenSeesMaterial& material) {
  const MappedMaterial mapped = Map(material);
  if (mapped.elastic.Active()) {
    throw Refusal("the " + ElasticTermText(mapped.elastic) + " has no place in the case alone");
  }
  return mapped.c;
}

MappedMaterial Map(const OpenSeesMaterial& material) {
  return std::visit(
      [](const auto& m) -> MappedMaterial {
        if constexpr (std::is_same_v<std::decay_t<decltype(m)>, OpenSeesBoucWen>) {
          return {FromOpenSees(m), {}};
        } else {
          return Map(m);
        }
      },
      material);
}

std::string TclLine(const OpenSeesBoucWen& m) {
  std::string line = "uniaxialMaterial BoucWen " + std::to_string(m.tag);
  for (double v : {m.alpha, m.ko, m.n, m.gamma, m.beta, m.Ao, m.deltaA, m.deltaNu, m.deltaEta}) {
    line.append(" ").append(decimal::ShortestText(v));
  }
  return line;
}

std::string TclLine(const OpenSeesBoucWenOriginal& m) {
  std::string line = "uniaxialMaterial BoucWenOriginal " + std::to_string(m.tag);
  for (double v : {m.E, m.fy, m.alphaL, m.alphaNL, m.mu, m.eta, m.beta, m.gamma}) {
    line.append(" ").append(decimal::ShortestText(v));
  }
  return line;
}

std::string PythonCall(const OpenSeesBoucWen& m) {
  std::string call = "ops.uniaxialMaterial('BoucWen', " + std::to_string(m.tag);
  for (double v : {m.alpha, m.ko, m.n, m.gamma, m.beta, m.Ao, m.deltaA, m.deltaNu, m.deltaEta}) {
    call += ", " + PythonFloat(v);
  }
  return call + ")";
}

std::string PythonCall(const OpenSeesBoucWenOriginal& m) {
  std::string call = "ops.uniaxialMaterial('BoucWenOriginal', " + std::to_string(m.tag);
  for (double v : {m.E, m.fy, m.alphaL, m.alphaNL, m.mu, m.eta, m.beta, m.gamma}) call += ", " + PythonFloat(v);
  return call + ")";
}

std::string TclLine(const ElastomericBearing& m) {
  std::string line = "element elastomericBearingBoucWen " + std::to_string(m.tag) + " " + m.iNode + " " + m.jNode;
  for (double v : {m.kInit, m.qd, m.alpha1, m.alpha2, m.mu, m.eta, m.beta, m.gamma}) {
    line.append(" ").append(decimal::ShortestText(v));
  }
  for (const std::string& word : m.rest) line.append(" ").append(word);
  return line;
}

std::string PythonCall(const ElastomericBearing& m) {
  // Tcl's words as Python's: a flag quoted, a variable a name.
  auto word = [](const std::string& w) {
    if (IsFlag(w)) return "'" + w + "'";
    return w.starts_with('$') ? w.substr(1) : w;
  };
  std::string call = "ops.element('elastomericBearingBoucWen', " + std::to_string(m.tag) + ", " + word(m.iNode) +
                     ", " + word(m.jNode);
  for (double v : {m.kInit, m.qd, m.alpha1, m.alpha2, m.mu, m.eta, m.beta, m.gamma}) call += ", " + PythonFloat(v);
  for (const std::string& w : m.rest) call += ", " + word(w);
  return call + ")";
}

std::string CsiWenText(const CsiWen& m) {
  using decimal::ShortestText;
  return "k=" + ShortestText(m.k) + ",yield=" + ShortestText(m.yield) + ",ratio=" + ShortestText(m.ratio) +
         ",exp=" + ShortestText(m.exp);
}

MaterialLines LinesOf(const Case& c, double Ao, long tag) {
  const OpenSeesBoucWen boucWen = ToOpenSees(c, Ao, tag);
  const OpenSeesBoucWenOriginal original = ToOpenSeesOriginal(c, tag);
  return {TclLine(boucWen), TclLine(original), PythonCall(boucWen), PythonCall(original), ToCsiWen(c), {}, {}, {}};
}

std::string ElasticTermText(const ElasticTerm& term) {
  return "nonlinear elastic term k3*sgn(u)*|u|^mu (k3 = " + decimal::ShortestText(term.k3) +
         ", mu = " + decimal::ShortestText(term.mu) + ")";
}

MaterialLines LinesOf(const Case& c, const ElasticTerm& term, double Ao, long tag, const ElastomericBearing* element) {
  MaterialLines lines;
  if (!term.Active()) {
    lines = LinesOf(c, Ao, tag);
  } else {
    const OpenSeesBoucWenOriginal original = ToOpenSeesOriginal(c, term, tag);
    lines.tclOriginal = TclLine(original);
    lines.pythonOriginal = PythonCall(original);
    lines.elasticTerm = ElasticTermText(term);
  }
  if (element != nullptr || term.Active()) {
    ElastomericBearing bearing = ToElastomericBearing(c, term, element != nullptr ? element->tag : tag);
    if (element != nullptr) {
      bearing.iNode = element->iNode;
      bearing.jNode = element->jNode;
      bearing.rest = element->rest;
    }
    lines.tclElement = TclLine(bearing);
    lines.pythonElement = PythonCall(bearing);
  }
  return lines;
}

std::string ReportText(const MaterialLines& lines, ReportForms forms) {
  std::string out;
  const std::string noBoucWen = "BoucWen: none (it has no " + lines.elasticTerm + ")";
  const bool term = !lines.elasticTerm.empty();
  if (forms.tcl) {
    out += "OpenSees: " + (term ? noBoucWen : lines.tclBoucWen) + "\nOpenSees: " + lines.tclOriginal + "\n";
    if (!lines.tclElement.empty()) out += "OpenSees: " + lines.tclElement + "\n";
  }
  if (forms.python) {
    out += "OpenSeesPy: " + (term ? noBoucWen : lines.pythonBoucWen) + "\nOpenSeesPy: " + lines.pythonOriginal + "\n";
    if (!lines.pythonElement.empty()) out += "OpenSeesPy: " + lines.pythonElement + "\n";
  }
  if (forms.csiWen) {
    out += lines.csiWen ? "CSI Wen link: " + CsiWenText(*lines.csiWen) + "\n"
           : term       ? "CSI Wen link: none (it has no " + lines.elasticTerm + ")\n"
                        : std::string("CSI Wen link: none (the link is the model with gamma = beta = 0.5)\n");
  }
  return out;
}

}  // namespace quorix::material
