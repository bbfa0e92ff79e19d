// The page's reading of quorix-cli's JSON answers: node --test web/tests/unit/
// The expected texts are written as the command line's text output shows
// the same answer (solve's "caption : text" lines, the fit's warning lines).
import { test } from "node:test";
import assert from "node:assert/strict";
import { answerOf, cyclesView, fitReportText, leadingZero, materialCommands, pageWords, percentText, readAddress,
  refusalText, resultRows, shownNumber, shownReport, sweepEnd } from "../../replies.js";

const bytes = (text) => new TextEncoder().encode(text);
const text = (b) => new TextDecoder().decode(b);

test("answerOf reads one JSON line and nothing else", () => {
  const cases = [
    ["one line with its end", '{"a": 1}\n', { a: 1 }],
    ["a text report", "         Za : 0.123456789\n", null],
    ["a line cut short", '{"u": [1, 2', null],
  ];
  for (const [name, out, expected] of cases) assert.deepEqual(answerOf({ status: 0, out }), expected, name);
  assert.equal(answerOf(undefined), null, "no reply");
});

test("refusalText names the field whose option was refused", () => {
  const n = { message: "--n: number beyond the range of a double: 1e999", option: "--n", value: "1e999",
    reason: "number beyond the range of a double: 1e999" };
  const material = { message: "--material: expected uniaxialMaterial BoucWen or BoucWenOriginal",
    option: "--material", reason: "expected uniaxialMaterial BoucWen or BoucWenOriginal" };
  const plain = { message: "sweep of more than 1000000 rows refused" };
  const cases = [
    ["n, naming", { refusal: n }, true, "n: number beyond the range of a double: 1e999"],
    ["n, as the command says it", { refusal: n }, false, "--n: number beyond the range of a double: 1e999"],
    ["the material line, in the page's words", { refusal: material }, true,
      "the material line: expected uniaxialMaterial BoucWen or BoucWenOriginal"],
    ["no option", { refusal: plain }, true, "sweep of more than 1000000 rows refused"],
    ["no answer", null, true, "the command failed"],
  ];
  for (const [name, answer, naming, expected] of cases) assert.equal(refusalText(answer, { naming }), expected, name);
});

// A solve --json answer cut to what the page reads.
const SOLVED = {
  texts: { Za: "0.726359011", Fha: "1.870346971", Fela: "0.286000000", Fa: "2.156346971", Kcd: "0.542107716",
    Kda: "0.457892284", DEOverFyUy: "1.190339117", DEOverFhUy: "1.322599019", DE: "0.377896645" },
  derived_texts: { XiEq: "0.251275950", Ksec: "19.426549289", KsecOverK0: "0.754050000" },
  captions: { Za: "Za :", Fha: "Fha :", Fela: "Fela :", Fa: "Fa :", Kcd: "Kcd* :", Kda: "Kda* :",
    DEOverFyUy: "DE/(Fy Uy) :", DEOverFhUy: "DE/(Fh Uy) :", DE: "DE :", XiEq: "XiEq :", Ksec: "Ksec :",
    KsecOverK0: "Ksec/K0 :" },
};

test("resultRows gives the twelve captions and texts in the order solve prints them", () => {
  assert.deepEqual(resultRows(SOLVED).map((r) => r.caption + " " + r.text), [
    "Za : 0.726359011", "Fha : 1.870346971", "Fela : 0.286000000", "Fa : 2.156346971", "Kcd* : 0.542107716",
    "Kda* : 0.457892284", "DE/(Fy Uy) : 1.190339117", "DE/(Fh Uy) : 1.322599019", "DE : 0.377896645",
    "XiEq : 0.251275950", "Ksec : 19.426549289", "Ksec/K0 : 0.754050000"]);
});

test("cyclesView splits the table and joins the notes, then the warnings", () => {
  const head = ["cycle", "first", "last", "u+", "u-", "F+", "F-", "EDC", "Keff", "xi_eff", "steady"];
  const row = ["1", "1", "41", "2", "-2", "3.5", "-3.5", "7.25", "1.75", "0.0824", "no"];
  const cases = [
    ["notes and a warning", { table: [head, row], notes: ["no steady cycle", "displacement: column 1 \"u\""],
      warnings: ["2 of 3 cycles run counter-clockwise"] },
    { head, rows: [row], message: "no steady cycle displacement: column 1 \"u\" 2 of 3 cycles run counter-clockwise" }],
  ];
  for (const [name, answer, expected] of cases) assert.deepEqual(cyclesView(answer), expected, name);
});

test("fitReportText puts each warning on a line of its own after the report", () => {
  const report = "parameter\tvalue\tstandard error\nn\t2\t0.01\n";
  const cases = [
    ["no warning", { report, warnings: [] }, report],
    ["two", { report, warnings: ["a", "b"] }, report + "\nwarning: a\nwarning: b\n"],
  ];
  for (const [name, answer, expected] of cases) assert.equal(fitReportText(answer), expected, name);
});

test("sweepEnd keeps the table's complete lines and reads a refusal after them", () => {
  const table = "Umax/Uy\tZa\r\n0.1\t0.01\r\n";
  const refusal = '{"refusal": {"message": "--step: number beyond the range of a double: 1e999"}}\n';
  const cases = [
    ["a table alone", table, table, null],
    ["a refusal after rows", table + refusal, table, "--step: number beyond the range of a double: 1e999"],
    ["a refusal before any row", refusal, "", "--step: number beyond the range of a double: 1e999"],
    ["a row cut short", table + "0.2\t0.0", table, null],
    ["a single complete line", "{x\n", "{x\n", null],
  ];
  for (const [name, out, expectedTable, expectedMessage] of cases) {
    const end = sweepEnd(bytes(out));
    assert.equal(text(end.table), expectedTable, name);
    assert.equal(end.refusal === null ? null : refusalText(end.refusal), expectedMessage, name);
  }
});

test("pageWords names the options the page gives by its fields, and leaves the others", () => {
  const cases = [
    ["the link line", "--csi-wen: k= is missing", "the link line: k= is missing"],
    ["within a sentence", "sweep needs --from below --to (or a negative --step)",
      "sweep needs From below To (or a negative Step)"],
    ["an option the page does not give", "--fix: unknown parameter \"z\"", "--fix: unknown parameter \"z\""],
    ["a longer option of the same start", "--uy: x; --umax and --u-x", "Uy: x; --umax and --u-x"],
    ["a minus sign is no option", "(To - From) / Step is -1", "(To - From) / Step is -1"],
  ];
  for (const [name, message, expected] of cases) assert.equal(pageWords(message), expected, name);
});

// Tables show the command line's shortest texts (16–17 digits) with seven
// significant digits, rounded to nearest as written out here by hand.
test("numbers as the page shows them: a leading zero, tables with seven significant digits", () => {
  const zero = [[".25", "0.25"], ["-.5", "-0.5"], ["0.1", "0.1"], ["12", "12"], ["1e-7", "1e-7"]];
  for (const [text, expected] of zero) assert.equal(leadingZero(text), expected, text);
  const cells = [
    ["0.6599999999999999", "0.66"], ["11.997039362194394", "11.99704"], ["80.24114999999999", "80.24115"],
    ["0.03222595977993716", "0.03222596"], ["-0.1000000000000001", "-0.1"], ["1.2345678901e-7", "1.234568e-7"],
    ["25.769999999999995", "25.77"], ["9.9999999999", "10"],
    // eight significant digits or fewer, and no numbers: as they are
    ["19.75", "19.75"], ["0.12345678", "0.12345678"], ["0.000001000", "0.000001000"], ["yes", "yes"],
    ["mean of 1 steady", "mean of 1 steady"], ["", ""], ["-", "-"], ["1-19", "1-19"],
  ];
  for (const [text, expected] of cells) assert.equal(shownNumber(text), expected, text);
  const report = "n\t0.4139181460340044\t0.003838096234745135\nrms misfit\t0.030614797121398328\t" +
    "0.5637429770420482 % of the mean F+\nfitted: cycles 1-19, amplitudes 0.360122 ... 1.44\n" +
    "OpenSees: uniaxialMaterial BoucWen 1 0.09753333560786881 30.532379621718945\ncycle\td\n6\t0.6599999999999999\n" +
    // a 95 % interval: both bounds shortened, the dots kept; a held parameter as it is
    "parameter\tvalue\tstandard error\t95 % interval\nz0\t-0.0012345678901234\t1e-3\t" +
    "-0.0032345678901234567 ... 7.6543210987654321e-4\ngamma\t0.75\t0.01\t0.73 ... 0.77\nalpha\t0.08\tfixed";
  assert.equal(shownReport(report), "n\t0.4139181\t0.003838096\nrms misfit\t0.0306148\t" +
    "0.563743 % of the mean F+\nfitted: cycles 1-19, amplitudes 0.360122 ... 1.44\n" +
    "OpenSees: uniaxialMaterial BoucWen 1 0.09753333560786881 30.532379621718945\ncycle\td\n6\t0.66\n" +
    "parameter\tvalue\tstandard error\t95 % interval\nz0\t-0.001234568\t1e-3\t-0.003234568 ... 0.0007654321\n" +
    "gamma\t0.75\t0.01\t0.73 ... 0.77\nalpha\t0.08\tfixed");
});

test("percentText moves ξeq's decimal point two places, no digit rounded", () => {
  const cases = [["0.120754323", "12.0754323"], ["0.000000019", "0.0000019"], ["1.5", "150"], ["-0.2068", "-20.68"],
    ["nan", null]];
  for (const [text, expected] of cases) assert.equal(percentText(text), expected, text);
});

test("materialCommands parts each line into its program and the bare command", () => {
  const lines = ["CSI Wen link: k=25.77,yield=2.86,ratio=0.1,exp=2",
    "CSI Wen link: none (the link is the model with gamma = beta = 0.5)"];
  assert.deepEqual(materialCommands(lines).map(({ label, command }) => [label, command]), [
    ["CSI Wen link", "k=25.77,yield=2.86,ratio=0.1,exp=2"],
    ["CSI Wen link", null]]);
});

test("readAddress fills the fields and reports what it cannot use", () => {
  assert.deepEqual(readAddress("?mode=fast&accurate=yes&zeta=0.05&n=3&loop=1"), { fields: { n: "3" }, mode: null,
    accurate: null, loop: true, note: "The address holds what the page does not know, left out: mode=fast (it takes " +
      "direct or complementary), accurate=yes (it takes 0 or 1), zeta=0.05 (no field of the page)." });
  assert.deepEqual(readAddress("?mode=Direct&accurate=0"), { fields: {}, mode: "direct", accurate: false, loop: false,
    note: "" });
});
