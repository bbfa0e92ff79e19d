// The page's reading of refusals, of the results that differ from the exact
// values, and of a sweep's rows as numbers: node --test web/tests/unit/
// Answers are written as quorix-cli writes them (solve --json, sweep
// --jsonl); the expected messages are written out as the page shows them.
import { test } from "node:test";
import assert from "node:assert/strict";
import { fieldRefusal, flaggedResults, joinCurves, resultFlagsText, sweepCurves, sweepFlagsText,
  sweepRangeRefusal } from "../../replies.js";

const refusal = (option, reason, value) => ({ refusal: { message: option + ": " + reason, option, reason, value } });
const HINT = (as) => "; --as-typed reads it as the window's field does, as " + as + ")";
const DOMAIN = " (outside the model's domain)";

test("fieldRefusal names the field by the page's name and drops the command line's own hint", () => {
  const cases = [
    ["a decimal comma", refusal("--u", "\"2,5\" is not a number (the decimal point is '.'" + HINT("2"), "2,5"),
      { field: "umax", text: "Umax/Uy: \"2,5\" is not a number (the decimal point is '.')" }],
    ["α, a parenthesis of its own kept", refusal("--alpha", "alpha must lie in [0, 1): 1" + DOMAIN, "1"),
      { field: "alpha", text: "α: alpha must lie in [0, 1): 1" + DOMAIN }],
    ["β, which only γ can mend", refusal("--beta", "number beyond the range of a double: 1e999", "1e999"),
      { field: "gamma", text: "β: number beyond the range of a double: 1e999" }],
    ["an option no field gives", refusal("--material", "expected uniaxialMaterial BoucWen", "x"), null],
    ["a refusal of no option", { refusal: { message: "step count: (To - From) / Step is not a finite number" } }, null],
    ["no answer", null, null],
  ];
  for (const [name, answer, expected] of cases) assert.deepEqual(fieldRefusal(answer), expected, name);
});

test("sweepRangeRefusal refuses a range that reaches a negative amplitude, naming From or To", () => {
  const cases = [
    ["the default range", [0.1, 10, 0.1, 100], null],
    ["a first row below 0", [-1, 1, 0.5, 5], ["--from", "Umax/Uy must not be negative: -1" + DOMAIN, "-1"]],
    // 1, 0.5, 0, −0.5: To = −0.4 is within half a step of the last row.
    ["a last row below 0", [1, -0.4, -0.5, 4],
      ["--to", "the last row's Umax/Uy must not be negative: -0.5" + DOMAIN, "-0.4"]],
    ["downwards to 0", [1, 0, -0.5, 3], null],
    // No row at all: said why, naming the field to mend.
    ["To below From, Step positive", [5, 1, 0.5, 0],
      ["--to", "1 is below From 5: the range holds no amplitude (Step is positive, the rows run upwards from From)", "1"]],
    ["To above From, Step negative", [1, 5, -1, 0], ["--step", "-1 is negative but To 5 is above From 1: the range " +
      "holds no amplitude (a negative Step runs the rows downwards)", "-1"]],
  ];
  for (const [name, [from, to, step, rows], expected] of cases) {
    const got = sweepRangeRefusal(from, to, step, rows);
    assert.deepEqual(got, expected && refusal(...expected), name);
    if (expected) assert.equal(fieldRefusal(got).field, expected[0].slice(2), name + ": the field marked");
  }
});

// solve --json of n = 1, γ = 0.1, Umax/Uy = 1e-6, cut to what the page reads.
const EXACT = { Za: "0.000001000", DE: "0.000000000", XiEq: "0.000000019" };

test("flaggedResults gives the flagged results in the order shown, each with its exact text", () => {
  const cases = [
    ["flagged out of order", { flagged: ["XiEq", "DE", "Za"], exact_texts: EXACT },
      [["Za", "0.000001000"], ["DE", "0.000000000"], ["XiEq", "0.000000019"]]],
    ["no exact text", { flagged: ["Ksec"], exact_texts: {} }, [["Ksec", null]]],
    ["the accurate mode's answer", { results: {} }, []],
  ];
  for (const [name, answer, expected] of cases) {
    assert.deepEqual(flaggedResults(answer).map((f) => [f.name, f.exactText]), expected, name);
  }
});

test("resultFlagsText and sweepFlagsText say how many differ, and which", () => {
  const tail = ". The specified arithmetic loses its digits here; Accurate gives the exact values.";
  const results = [
    ["none", [], 1e-4, ""],
    ["one", [{ name: "XiEq" }], 1e-4,
      "1 result differs from the exact value by more than 1e-4 (relative) or in sign: XiEq" + tail],
    ["two, another bound", [{ name: "DEOverFyUy" }, { name: "KsecOverK0" }], 2.5e-6,
      "2 results differ from the exact value by more than 2.5e-6 (relative) or in sign: DE/(Fy Uy), Ksec/K0" + tail],
  ];
  for (const [name, flags, bound, expected] of results) assert.equal(resultFlagsText(flags, bound), expected, name);
  const rows = [
    ["no flags", { count: 0, first: null }, ""],
    ["one row", { count: 1, first: { u: 0.000001, names: ["DEOverFyUy", "XiEq"] } },
      "1 row differs from the exact values by more than 1e-4 (relative) or in sign; " +
      "first at Umax/Uy = 0.000001 (DE/(Fy Uy), XiEq). Accurate gives the exact values."],
  ];
  for (const [name, flags, expected] of rows) assert.equal(sweepFlagsText(flags), expected, name);
});

// sweep --jsonl's rows: Umax/Uy = i/10, DE = i², Za = 1 − 1/(i + 1); rows 3 and 7 flagged.
function jsonRows(count) {
  const rows = [];
  for (let i = 0; i < count; ++i) {
    const row = { UmaxOverUy: i / 10, Za: 1 - 1 / (i + 1), DE: i * i, XiEq: i / 100, Ksec: 1, KsecOverK0: 1 };
    row.flagged = i === 3 ? ["DE", "XiEq"] : i === 7 ? ["Za"] : [];
    rows.push(JSON.stringify(row) + "\n");
  }
  return rows.join("");
}

test("sweepCurves keeps every stride-th row and the last, and counts the flagged rows", () => {
  const cases = [
    ["whole", 10, 100, [0, 1, 2, 3, 4, 5, 6, 7, 8, 9]],
    ["stride 3, the last a multiple", 10, 4, [0, 3, 6, 9]],
    ["stride 3, the last kept", 11, 4, [0, 3, 6, 9, 10]],
    ["one row", 1, 5, [0]],
  ];
  for (const [name, total, maxPoints, kept] of cases) {
    const reader = sweepCurves(total, maxPoints);
    reader.add(jsonRows(total));
    const got = reader.take();
    assert.deepEqual(got.UmaxOverUy, kept.map((i) => i / 10), name + ": Umax/Uy");
    assert.deepEqual(got.DE, kept.map((i) => i * i), name + ": DE");
    assert.deepEqual(got.Za, kept.map((i) => 1 - 1 / (i + 1)), name + ": Za");
    assert.equal(got.rows, total, name + ": rows");
    assert.equal(got.flags.count, [3, 7].filter((i) => i < total).length, name + ": flagged rows");
    assert.deepEqual(got.flags.first, total > 3 ? { u: 0.3, names: ["DE", "XiEq"] } : null, name + ": the first");
  }
});

test("sweepCurves reads output cut anywhere, and a refusal after the rows", () => {
  const text = jsonRows(6) + '{"refusal": {"message": "row 6: amplitude overflows"}}\n';
  const whole = sweepCurves(6, 100);
  whole.add(text);
  const expected = whole.take();
  assert.equal(expected.refusal.refusal.message, "row 6: amplitude overflows");
  assert.deepEqual(expected.UmaxOverUy, [0, 0.1, 0.2, 0.3, 0.4, 0.5]);
  for (const size of [1, 7, 50, 151]) {
    const reader = sweepCurves(6, 100);
    const pieces = [];
    for (let at = 0; at < text.length; at += size) {
      reader.add(text.slice(at, at + size));
      pieces.push(reader.take());
    }
    assert.deepEqual(joinCurves(pieces), expected, "pieces of " + size);
  }
});
