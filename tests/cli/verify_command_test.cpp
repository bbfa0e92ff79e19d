// quorix-cli verify end to end: the library's figures on records of OpenSees's documented BoucWen update (the
// sample counted from 1), the z column found or chosen, and the exit statuses for scripts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_process.h"
#include "decimal.h"
#include "opensees_boucwen_steps.h"
#include "verify.h"

namespace {

using namespace quorix::testing;
using quorix::decimal::ShortestText;

using VerifyCommand = TempFolderTest;

std::string RecordText(const ProgramRecord& r, const std::string& header, bool withZ) {
  std::string text = header.empty() ? "" : header + "\n";
  for (std::size_t k = 0; k < r.u.size(); ++k) {
    text.append(ShortestText(r.u[k])).append(" ").append(ShortestText(r.F[k]));
    if (withZ) text.append(" ").append(ShortestText(r.z[k]));
    text.append("\n");
  }
  return text;
}

// A coarse record and a fine one with an error planted at sample 138 (1-based): the JSON's figures are the
// library's to the bit, and the planted sample is the one named.
TEST_F(VerifyCommand, FiguresAreTheLibrarys) {
  const OpenSeesBoucWenLaw law;
  ProgramRecord fine = FineRecord(law, SineHistory(3.0, 3, 100), 64);
  fine.F[137] += 0.03;
  for (const ProgramRecord& r : {BackwardEulerRecord(law, SineHistory(3.0, 3, 40)), fine}) {
    Write("record.txt", RecordText(r, "u F z", true));
    const CliRun run = Cli({"verify", "record.txt", "--material", law.Tcl(), "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const quorix::verify::Report expected =
        quorix::verify::Verify(r.u, r.F, r.z, quorix::verify::ModelOfOpenSees(law.Tcl()));
    EXPECT_EQ(JsonNumber(run.out, "sample"), static_cast<double>(expected.force.at + 1));
    EXPECT_EQ(JsonNumber(run.out, "largest"), expected.force.largest);
    EXPECT_EQ(JsonNumber(run.out, "relative"), expected.force.relative);
    EXPECT_EQ(JsonNumber(run.out, "program_EDC"), expected.cycles.at(0).program);
    EXPECT_EQ(JsonNumber(run.out, "model_EDC"), expected.cycles.at(0).exact);
    EXPECT_EQ(Missing(run.out, {"schema", "sample_count", "z0", "F", "z", "relative", "tolerance", "verdict",
                                "verdict_text", "cycles", "cycles_note", "u", "program_F", "model_F", "program_z",
                                "model_z", "report"}),
              "");
  }
  EXPECT_TRUE(Has(Cli({"verify", "record.txt", "--material", law.Tcl()}).out, "at sample 138 (u = "));
}

// z by the header's name "z", by --z-column, or none: a record without names has no z unless it is chosen.
TEST_F(VerifyCommand, ZColumn) {
  const OpenSeesBoucWenLaw law;
  const ProgramRecord r = BackwardEulerRecord(law, SineHistory(3.0, 2, 40));
  Write("named.txt", RecordText(r, "u F z", true));
  Write("plain.txt", RecordText(r, "", true));
  const Args named{"verify", "named.txt", "--material", law.Tcl()};
  EXPECT_TRUE(Has(Cli(named).out, "\nz: largest difference"));
  Args plain{"verify", "plain.txt", "--material", law.Tcl()};
  EXPECT_FALSE(Has(Cli(plain).out, "\nz: "));
  plain.insert(plain.end(), {"--z-column", "3"});
  EXPECT_EQ(Cli(plain).out, Cli(named).out);
  // OpenSees's BoucWen is Wen's general law with Uy = 1, Fy = ko and its beta and gamma swapped: the same
  // figures by the other mapping, z's scale z_u included.
  const Args general{"verify", "named.txt", "--model", "general", "--A", "1.5", "--gamma", "0.6", "--beta", "0.3",
                     "--n", "2", "--alpha", "0.1", "--fy", "20", "--uy", "1"};
  const std::vector<std::string> byMaterial = Split(Cli(named).out, "\n"), byLaw = Split(Cli(general).out, "\n");
  ASSERT_EQ(byLaw.size(), byMaterial.size());
  // The two mappings may round the last bits apart: F's and z's relative differences, to three digits, agree.
  for (const std::size_t i : {1, 2}) {
    const std::size_t cut = byMaterial[i].find("; relative "), lawCut = byLaw[i].find("; relative ");
    ASSERT_NE(cut, std::string::npos) << byMaterial[i];
    ASSERT_NE(lawCut, std::string::npos) << byLaw[i];
    EXPECT_EQ(byLaw[i].substr(lawCut), byMaterial[i].substr(cut)) << i;
  }
}

// 0 checked (within the tolerance), 1 beyond it, 2 not checked.
TEST_F(VerifyCommand, ExitStatus) {
  const OpenSeesBoucWenLaw law;
  Write("coarse.txt", RecordText(BackwardEulerRecord(law, SineHistory(3.0, 2, 40)), "u F z", true));
  Write("u.txt", "0\n1\n-1\n");
  struct Row {
    Args extra;
    int status;
  } const rows[] = {
      {{"coarse.txt"}, 0},
      {{"coarse.txt", "--tolerance", "1"}, 0},
      {{"coarse.txt", "--tolerance", "1e-3"}, 1},
      {{"coarse.txt", "--tolerance", "1e-3", "--json"}, 1},
      {{"missing.txt"}, 2},
      {{"u.txt"}, 2},
      {{"coarse.txt", "--tolerance", "-1"}, 2},
      {{"coarse.txt", "--tolerance", "x"}, 2},
      {{"coarse.txt", "--accurate"}, 2},
  };
  for (const Row& row : rows) {
    Args args{"verify"};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    args.insert(args.end(), {"--material", law.Tcl()});
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, row.status) << row.extra[0] << " " << run.err;
    EXPECT_EQ(Has(run.out, "verdict"), row.status != 2) << row.extra[0];
  }
  // A report that cannot be written (a full disk) is a failure, never "exceeded".
  const std::string full = "cd '" + dir_.string() + "' && " + CliCommand() + " verify coarse.txt --material '" +
                           law.Tcl() + "' >/dev/full 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(full.c_str())), 2);
}

}  // namespace
