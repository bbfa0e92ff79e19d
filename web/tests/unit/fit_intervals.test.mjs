// The fit report's 95 % interval column as the page shows it: node --test web/tests/unit/
// Each bound of "low ... high" is shortened to seven significant digits like any other number of the
// table, the dots between them kept; the downloads keep every digit.
import { test } from "node:test";
import assert from "node:assert/strict";
import { shownReport, shownReportLine } from "../../replies.js";

test("shownReportLine shortens both bounds of an interval and keeps the dots between them", () => {
  const cases = [
    ["long bounds", "n\t2.4912345678901234\t0.0123456789\t2.4712345678901234 ... 2.5112345678901234",
      "n\t2.491235\t0.01234568\t2.471235 ... 2.511235"],
    ["short bounds", "gamma\t0.75\t0.01\t0.73 ... 0.77", "gamma\t0.75\t0.01\t0.73 ... 0.77"],
    ["negative and exponent", "z0\t-0.0012345678901234\t1e-3\t-0.0032345678901234567 ... 7.6543210987654321e-4",
      "z0\t-0.001234568\t1e-3\t-0.003234568 ... 0.0007654321"],
    ["held", "alpha\t0.08\tfixed", "alpha\t0.08\tfixed"],
  ];
  for (const [name, line, expected] of cases) assert.equal(shownReportLine(line), expected, name);
});

test("shownReport keeps the header naming the interval column", () => {
  const report = "parameter\tvalue\tstandard error\t95 % interval\nn\t2.5\t0.01\t2.48 ... 2.52\n";
  assert.equal(shownReport(report), report);
});
