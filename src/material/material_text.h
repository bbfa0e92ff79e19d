// Materials as their programs' input files write them: OpenSees's Tcl words
// (uniaxialMaterial BoucWen 1 0.1 25.766 2 …), OpenSeesPy's call
// (ops.uniaxialMaterial('BoucWen', 1, 0.1, …)), and the values of CSI's
// Wen link as key=value pairs. Parsing is strict: every word must be a whole
// number (the tag, the iteration limit) or a whole floating-point number.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "material.h"

namespace quorix::material {

using OpenSeesMaterial = std::variant<OpenSeesBoucWen, OpenSeesBoucWenOriginal, ElastomericBearing>;

// Either form, told apart by the parenthesis of the call. BoucWen's words
// after its name: tag alpha ko n gamma beta Ao deltaA deltaNu deltaEta, then
// optionally tol and maxNumIter; BoucWenOriginal's: tag E fy alphaL, then
// optionally alphaNL mu eta beta gamma tol maxIter (defaults 0, 2, 1, ½, ½).
// Throws Refusal naming the word at fault (1-based, counting the
// material's name as word 1) or the material that is not one of the two.
// An element line (element elastomericBearingBoucWen …, ops.element(…))
// gives the isolator: tag iNode jNode kInit qd alpha1 alpha2 mu, then eta
// beta gamma where given (defaults 1, ½, ½), then the words of the other
// directions from the first flag (-P …), kept as text.
OpenSeesMaterial ParseOpenSees(std::string_view text);

// "k=…,yield=…,ratio=…,exp=…" in any order, each exactly once.
CsiWen ParseCsiWen(std::string_view text);

// FromOpenSees of either material, after its own checks; refused when the
// material carries an elastic term (Map keeps it).
Case FromOpenSees(const OpenSeesMaterial& material);
MappedMaterial Map(const OpenSeesMaterial& material);

// The lines that give each program the case, every value as the shortest
// text that reads back to the same double.
std::string TclLine(const OpenSeesBoucWen& m);
std::string TclLine(const OpenSeesBoucWenOriginal& m);
std::string PythonCall(const OpenSeesBoucWen& m);
std::string PythonCall(const OpenSeesBoucWenOriginal& m);
std::string TclLine(const ElastomericBearing& m);
std::string PythonCall(const ElastomericBearing& m);
std::string CsiWenText(const CsiWen& m);

// The case as every program's input writes it: OpenSees's two materials as
// Tcl lines and as OpenSeesPy calls (BoucWen with the given Ao), and the CSI
// link's values when γ = β = ½.
struct MaterialLines {
  std::string tclBoucWen, tclOriginal, pythonBoucWen, pythonOriginal;
  std::optional<CsiWen> csiWen;
  // The elastomericBearingBoucWen element's lines; empty unless asked for or
  // the case carries an elastic term.
  std::string tclElement, pythonElement;
  // With an elastic term, what BoucWen and the CSI link cannot hold
  // ("k3 = 2000, mu = 3"); their lines are then empty.
  std::string elasticTerm;
};
MaterialLines LinesOf(const Case& c, double Ao = 1.0, long tag = 1);
// With an elastic term: BoucWenOriginal with alphaNL and mu, the element
// with alpha2 and mu, no BoucWen line and no link.
// `element`, when given, writes the element with its nodes and other words.
MaterialLines LinesOf(const Case& c, const ElasticTerm& term, double Ao, long tag = 1,
                      const ElastomericBearing* element = nullptr);

// The words that name a case's elastic term in messages.
std::string ElasticTermText(const ElasticTerm& term);

// The lines as a report gives them, one a line, each led by its program's
// name ("OpenSees: uniaxialMaterial BoucWen …"); the CSI line says when the
// case is no Wen link.
struct ReportForms {
  bool tcl = true, python = true, csiWen = true;
};
std::string ReportText(const MaterialLines& lines, ReportForms forms = {});

}  // namespace quorix::material
