// The Isolation section's reading of isolation design --json and of its
// inputs: node --test web/tests/unit/
// The answers below are shaped as the command line writes them; the
// expected texts are written out by hand from the numbers.
import { test } from "node:test";
import assert from "node:assert/strict";
import { ISO_ADDRESS_KEYS, designTable, iterationText, mapPoints, numberText, readIsolationAddress,
  spectrumArgument } from "../../isolation-replies.js";
import { readAddress } from "../../replies.js";

test("spectrumArgument turns pasted rows into T:Sa,… and names a bad line", () => {
  const cases = [
    ["TAB, comma, semicolon, CRLF, blank lines", "0.5\t1\r\n\r\n1,0.8\r\n2; 0.4", { text: "0.5:1,1:0.8,2:0.4" }],
    ["the command line's own form", " 1:0.8, 2:0.4 ", { text: "1:0.8,2:0.4" }],
    ["numbers are the command line's to read", "1 abc\n2 0.4", { text: "1:abc,2:0.4" }],
  ];
  for (const [name, pasted, expected] of cases) assert.deepEqual(spectrumArgument(pasted), expected, name);
  const refusals = [
    ["empty", " \n ", /is empty/],
    ["one value on line 3, a blank line counted", "1 0.8\n\n2", /line 3 has 1 values/],
    ["a single row", "1 0.8", /at least two rows/],
  ];
  for (const [name, pasted, pattern] of refusals) {
    const answer = spectrumArgument(pasted);
    assert.ok(answer.refusal, name);
    assert.match(answer.refusal.message, pattern, name);
  }
});

test("numberText shows seven significant digits and 'none' for no number", () => {
  const cases = [
    [0.22538400000001, "0.225384"],
    [10744.04188356, "10744.04"],
    [1.7, "1.7"],
    [1.234567891e-7, "1.234568e-7"],
    ["nan", "none"],
    [null, "none"],
  ];
  for (const [value, expected] of cases) assert.equal(numberText(value), expected, String(value));
});

// Two fixed points for the model (the second reached), none for the
// bilinear loop.
const ANSWER = {
  code: "asce7", source: "ASCE/SEI 7-22, Table 17.5-1", start: 0.149094, iterations: 12, reached: 1, last: 0.3,
  points: { D: [0.01, 0.3], Keff: [20000, 9000], Teff: [2, 3], betaEff: [0.05, 0.3552823], B: [1, 1.8],
    Sa: [0.3, 0.2], F: [200, 2700], F_bearing: [50, 675], Qd: [100, 1500], Kd: ["nan", 4000], Dy: ["nan", 0.025],
    slope: [1.5, 0.2] },
  map: { D: [0.001, 0.01, 1, 2], next: [0.02, 0.01, "nan", -1] },
  bilinear: { start: 0.149094, iterations: 1000, reached: -1, last: 7, map: { D: [1], next: [2] },
    points: { D: [], Keff: [], Teff: [], betaEff: [], B: [], Sa: [], F: [], F_bearing: [], Qd: [], Kd: [], Dy: [],
      slope: [] } },
};

test("designTable sets the model's points beside the bilinear loop's", () => {
  const { columns } = designTable(ANSWER);
  assert.deepEqual(columns.map((c) => [c.loop, c.head]),
    [["model", "point 1"], ["model", "point 2 (reached)"], ["bilinear", "no fixed point in the range"]]);
  const [first, second] = columns;
  assert.equal(first.cells.betaEff, "0.05 (5 %)");
  assert.equal(second.cells.betaEff, "0.3552823 (35.52823 %)");
  assert.equal(first.cells.Kd, "none");
  assert.equal(second.cells.Dy, "0.025");
  assert.equal(first.cells.iteration, "not reached (repels)");
  assert.equal(second.cells.iteration, "reached in 12 steps");
  assert.equal(second.cells.F_bearing, "675");
});

test("iterationText says where the iteration goes", () => {
  assert.equal(iterationText(ANSWER, "Model"),
    "Model: the code's iteration D ← next D from D = 0.149094 reaches point 2 (D = 0.3) in 12 steps.");
  assert.equal(iterationText(ANSWER.bilinear, "Bilinear loop"), "Bilinear loop: the code's iteration D ← next D " +
    "from D = 0.149094 settles on no fixed point (1000 steps, last D = 7).");
});

test("mapPoints keeps what a logarithmic axis can show", () => {
  assert.deepEqual(mapPoints(ANSWER), [[0.001, 0.02], [0.01, 0.01]]);
  assert.deepEqual(mapPoints({}), []);
});

test("the address: the section's keys read apart from the case's", () => {
  const search = "?gamma=0.5&W=20000&g=9.81&sa=Table&code=EN1998&iso=1&spectrum=1%200.8%0A2%200.4&bearings=8";
  assert.deepEqual(readIsolationAddress(search), {
    fields: { "iso-w": "20000", "iso-g": "9.81", "iso-spectrum": "1 0.8\n2 0.4", "iso-bearings": "8" },
    code: "en1998", sa: "table", run: true, unknown: [],
  });
  assert.equal(readAddress(search, ISO_ADDRESS_KEYS).note, "", "the case's reader passes the section's keys over");
  assert.deepEqual(readIsolationAddress("?code=fema&iso=2").unknown,
    ["code=fema (it takes asce7 or aashto or en1998)", "iso=2 (it takes 0 or 1)"]);
});
