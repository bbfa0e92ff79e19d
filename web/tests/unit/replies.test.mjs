// The page's reading of quorix-cli's JSON answers: node --test web/tests/unit/
// The expected texts are written as the command line's text output shows
// the same answer (solve's "caption : text" lines, the fit's warning lines).
import { test } from "node:test";
import assert from "node:assert/strict";
import { answerOf, cyclesView, fitReportText, refusalText, resultRows, sweepEnd } from "../../replies.js";

const bytes = (text) => new TextEncoder().encode(text);
const text = (b) => new TextDecoder().decode(b);

test("answerOf reads one JSON line and nothing else", () => {
  const cases = [
    ["one line with its end", '{"a": 1}\n', { a: 1 }],
    ["blanks around it", '  {"refusal": {"message": "x"}}\n\n', { refusal: { message: "x" } }],
    ["no output", "", null],
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
    ["γ", { refusal: { ...n, option: "--gamma", message: "--gamma: x" } }, true, "γ: number beyond the range of a double: 1e999"],
    ["an option no field gives", { refusal: material }, true, material.message],
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
  assert.deepEqual(resultRows(SOLVED).map((r) => r.name).slice(9), ["XiEq", "Ksec", "KsecOverK0"]);
});

test("resultRows refuses an answer that lacks a text", () => {
  const cases = [
    ["no derived texts", { ...SOLVED, derived_texts: undefined }, /XiEq/],
    ["no caption of Kda", { ...SOLVED, captions: { ...SOLVED.captions, Kda: undefined } }, /Kda/],
  ];
  for (const [name, answer, message] of cases) assert.throws(() => resultRows(answer), message, name);
});

test("cyclesView splits the table and joins the notes, then the warnings", () => {
  const head = ["cycle", "first", "last", "u+", "u-", "F+", "F-", "EDC", "Keff", "xi_eff", "steady"];
  const row = ["1", "1", "41", "2", "-2", "3.5", "-3.5", "7.25", "1.75", "0.0824", "no"];
  const cases = [
    ["notes and a warning", { table: [head, row], notes: ["no steady cycle", "displacement: column 1 \"u\""],
      warnings: ["2 of 3 cycles run counter-clockwise"] },
    { head, rows: [row], message: "no steady cycle displacement: column 1 \"u\" 2 of 3 cycles run counter-clockwise" }],
    ["nothing under the table", { table: [head, row, row], notes: [], warnings: [] }, { head, rows: [row, row], message: "" }],
    ["no table", { table: [], notes: [], warnings: ["w"] }, { head: [], rows: [], message: "w" }],
  ];
  for (const [name, answer, expected] of cases) assert.deepEqual(cyclesView(answer), expected, name);
});

test("fitReportText puts each warning on a line of its own after the report", () => {
  const report = "parameter\tvalue\tstandard error\nn\t2\t0.01\n";
  const cases = [
    ["no warning", { report, warnings: [] }, report],
    ["one", { report, warnings: ["alpha < 0"] }, report + "\nwarning: alpha < 0\n"],
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
    ["nothing", "", "", null],
  ];
  for (const [name, out, expectedTable, expectedMessage] of cases) {
    const end = sweepEnd(bytes(out));
    assert.equal(text(end.table), expectedTable, name);
    assert.equal(end.refusal === null ? null : refusalText(end.refusal), expectedMessage, name);
  }
});
