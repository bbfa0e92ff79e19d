// The record reader and FindCycles on any bytes. The first three bytes choose
// the reading (a history's optional force; the piece size the text is fed
// in; the columns asked for) and the dead band; the rest is the file, at
// most 64 KiB, so that the work stays bounded (both are linear in it).
// Properties, each checked with an abort:
//   1. Reading returns a record or throws Refusal with a message; fed in
//      pieces, the record (or the message) is the one the whole text gives.
//   2. A record's values are finite, u and F of one length (F may be empty
//      for a history), its columns distinct and within the line.
//   3. FindCycles returns cycles or throws Refusal with a message. Each
//      cycle's u±, F±, EDC and Keff are finite, ξeff too unless F⁺ = F⁻.
//   4. With the force's sign flipped the same cycles come back, steady the
//      same, EDC and Keff negated, ξeff the same, and every negative EDC is
//      counted as counter-clockwise: a reversed record never passes silently.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "cycles.h"
#include "fuzz_support.h"
#include "record.h"

using quorix::fuzz::Check;
using quorix::fuzz::Show;
namespace m = quorix::measured;

namespace {

constexpr std::size_t kMaxBytes = 1 << 16;
constexpr std::size_t kPieces[8] = {1, 2, 3, 5, 64, 1000, 4096, kMaxBytes};
const char* const kChoices[8] = {"", "1", "2", "3", "u", "F", "Force", "x"};

struct Outcome {
  bool ok = false;
  m::Record record;
  std::string message;
};

Outcome Read(std::string_view text, std::size_t piece, m::Columns columns, const m::ColumnChoice& choice) {
  Outcome o;
  try {
    m::RecordParser parser(columns, choice);
    for (std::size_t at = 0; at < text.size(); at += piece) parser.Feed(text.substr(at, piece));
    o.record = parser.Finish();
    o.ok = true;
  } catch (const quorix::Refusal& e) {
    o.message = e.what();
    Check(!o.message.empty(), "a refusal says why", "reading");
  }
  return o;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

m::CycleTable Cycles(const std::vector<double>& u, const std::vector<double>& F, double band, bool& ok) {
  ok = false;
  m::CycleTable table;
  quorix::fuzz::RefusalOf("FindCycles", [&] {
    table = m::FindCycles(u, F, band);
    ok = true;
  });
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3 || size > kMaxBytes + 3) return 0;
  const m::Columns columns = (data[0] & 1) ? m::Columns::kDisplacementWithOptionalForce : m::Columns::kDisplacementAndForce;
  const std::size_t piece = kPieces[(data[0] >> 1) & 7];
  const m::ColumnChoice choice{kChoices[data[1] & 7], kChoices[(data[1] >> 3) & 7]};
  const double band = (data[2] + 1) / 520.0;  // (0, 0.5)
  const std::string_view text(reinterpret_cast<const char*>(data + 3), size - 3);

  const Outcome whole = Read(text, kMaxBytes, columns, choice);
  const Outcome pieces = piece == kMaxBytes ? whole : Read(text, piece, columns, choice);
  Check(whole.ok == pieces.ok && whole.message == pieces.message, "pieces read as the whole text",
        whole.message + " | " + pieces.message);
  if (!whole.ok) return 0;
  const m::Record& r = whole.record;
  Check(SameBits(r.u, pieces.record.u) && SameBits(r.F, pieces.record.F) && r.decimalComma == pieces.record.decimalComma,
        "pieces give the whole text's points");
  Check(!r.u.empty() && (r.F.size() == r.u.size() || (r.F.empty() && columns != m::Columns::kDisplacementAndForce)),
        "u and F of one length");
  for (std::size_t i = 0; i < r.u.size(); ++i) {
    Check(std::isfinite(r.u[i]) && (r.F.empty() || std::isfinite(r.F[i])), "finite points", std::to_string(i));
  }
  Check(r.displacement.number >= 1 && r.displacement.number <= r.columns && r.force.number <= r.columns &&
            r.force.number != r.displacement.number && (r.force.number == 0) == r.F.empty(),
        "the columns lie within the line and differ");
  if (r.F.empty()) return 0;

  bool ok = false, flippedOk = false;
  const m::CycleTable table = Cycles(r.u, r.F, band, ok);
  std::vector<double> minusF(r.F);
  for (double& f : minusF) f = -f;
  const m::CycleTable flipped = Cycles(r.u, minusF, band, flippedOk);
  Check(ok == flippedOk, "the flipped force is refused exactly when the force is");
  if (!ok) return 0;
  Check(table.cycles.size() == flipped.cycles.size() && table.counterClockwise <= table.cycles.size(),
        "the same cycles with the force flipped");
  for (std::size_t k = 0; k < table.cycles.size(); ++k) {
    const m::Cycle& c = table.cycles[k];
    const m::Cycle& f = flipped.cycles[k];
    const std::string where = "cycle " + std::to_string(k + 1) + ": EDC " + Show(c.EDC) + ", Keff " + Show(c.Keff);
    Check(c.first < c.middle && c.middle < c.last && c.last < r.u.size(), "a cycle's points in order", where);
    for (double v : {c.uPlus, c.uMinus, c.FPlus, c.FMinus, c.EDC, c.Keff}) Check(std::isfinite(v), "finite cycle", where);
    Check(std::isfinite(c.XiEff) || c.FPlus == c.FMinus, "xi_eff finite unless F+ = F-", where);
    Check(f.first == c.first && f.last == c.last && f.steady == c.steady, "flipped: the same cycle", where);
    Check(f.EDC == -c.EDC && f.Keff == -c.Keff &&
              (f.XiEff == c.XiEff || (std::isnan(f.XiEff) && std::isnan(c.XiEff))),
          "flipped: EDC and Keff negated, xi_eff the same", where + " against " + Show(f.EDC));
    Check(!(c.EDC < 0.0) || table.counterClockwise > 0, "a negative EDC is flagged", where);
    Check(!(f.EDC < 0.0) || flipped.counterClockwise > 0, "a negative EDC is flagged when flipped", where);
  }
  Check(table.counterClockwise + flipped.counterClockwise <= table.cycles.size(),
        "a cycle runs one way or the other");
  Check(m::CounterClockwiseWarning(table).empty() == (table.counterClockwise == 0), "a warning when one runs back");
  return 0;
}
