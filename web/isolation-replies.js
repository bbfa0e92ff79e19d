// What the Isolation section shows of quorix-cli isolation design --json:
// no DOM here, so that node's own test runner reads the same answers the
// page reads (web/tests/unit). The page computes no result: it picks the
// engine's numbers out, shortens them for reading to seven significant
// digits and writes βeff in percent beside its fraction.
import { percentText, shownNumber } from "./replies.js";

// The section's fields, the option each gives, and its name in a message.
export const ISO_OPTION_OF = { "iso-bearings": "--bearings", "iso-w": "--W", "iso-g": "--g", "iso-s1": "--s1",
  "iso-spectrum": "--spectrum", "iso-dmin": "--dmin", "iso-dmax": "--dmax" };
export const ISO_FIELD_NAME = { "--bearings": "N (bearings)", "--W": "W", "--g": "g", "--s1": "S1",
  "--spectrum": "the spectrum table", "--dmin": "D from", "--dmax": "D to", "--mass": "W" };
export const ISO_FIELDS = Object.keys(ISO_OPTION_OF);

// The address's keys for the section's fields and choices: its fields'
// texts, the code, which spectrum (s1 or table), and iso=1 when the design
// shown is the fields' (opened elsewhere, it runs again).
export const ISO_ADDRESS_FIELDS = { bearings: "iso-bearings", W: "iso-w", g: "iso-g", s1: "iso-s1",
  spectrum: "iso-spectrum", dmin: "iso-dmin", dmax: "iso-dmax" };
export const ISO_CHOICES = { code: ["asce7", "aashto", "en1998"], sa: ["s1", "table"], iso: ["0", "1"] };
export const ISO_ADDRESS_KEYS = [...Object.keys(ISO_ADDRESS_FIELDS), ...Object.keys(ISO_CHOICES)];

// The section's part of an address: {fields, code, sa, run, unknown}, the
// values it cannot use listed in `unknown` as "key=value (it takes …)".
export function readIsolationAddress(search) {
  const params = new URLSearchParams(search);
  const out = { fields: {}, code: null, sa: null, run: false, unknown: [] };
  for (const [key, value] of params) {
    if (Object.hasOwn(ISO_ADDRESS_FIELDS, key)) out.fields[ISO_ADDRESS_FIELDS[key]] = value;
    if (!Object.hasOwn(ISO_CHOICES, key)) continue;
    const v = value.toLowerCase();
    if (!ISO_CHOICES[key].includes(v)) out.unknown.push(`${key}=${value} (it takes ${ISO_CHOICES[key].join(" or ")})`);
    else if (key === "iso") out.run = v === "1";
    else out[key] = v;
  }
  return out;
}

// A message of the command line with the section's options named as the
// page names their fields ("--g is needed: …" reads "g is needed: …").
export const isolationWords = (text) =>
  text.replace(/(^|[\s(])(--[a-zA-Z][a-zA-Z0-9-]*)(?=[:\s,)]|$)/g,
    (whole, before, option) => (Object.hasOwn(ISO_FIELD_NAME, option) ? before + ISO_FIELD_NAME[option] : whole));

const refusal = (message) => ({ refusal: { message } });

// The pasted table of (T, Sa) as the command line's T:Sa,T:Sa,… : a row a
// line, its two numbers delimited by blanks, TAB, ',' or ';' (or the
// command line's own form, as typed). A first line of names (it starts
// with a letter) is a header. The numbers themselves are the command line's
// to read. {text} or a refusal naming the line.
export function spectrumArgument(pasted) {
  const lines = pasted.split(/\r\n|\r|\n/).map((l) => l.trim());
  const rows = lines.map((line, i) => ({ line, number: i + 1 })).filter((r) => r.line !== "");
  if (rows.length === 0) return refusal("the spectrum table is empty: paste its rows T, Sa (s, g), one a line");
  if (rows.length === 1 && rows[0].line.includes(":")) return { text: rows[0].line.replace(/\s+/g, "") };
  if (/^[A-Za-z]/.test(rows[0].line)) rows.shift();
  const cells = [];
  for (const { line, number } of rows) {
    const row = line.split(/[\s,;]+/).filter((c) => c !== "");
    if (row.length !== 2) {
      return refusal(`the spectrum table: line ${number} has ${row.length} values, not the two T (s) and Sa (g): ` +
        JSON.stringify(line));
    }
    cells.push(row.join(":"));
  }
  if (cells.length < 2) return refusal("the spectrum table needs at least two rows T, Sa to read between");
  return { text: cells.join(",") };
}

// ---- The results' table ---------------------------------------------------

// A number of the engine's answer as the page shows it: seven significant
// digits; "none" where the engine has none (NaN: no bilinear loop there).
export function numberText(value) {
  const x = typeof value === "string" ? Number(value) : value;
  if (typeof x !== "number" || !Number.isFinite(x)) return "none";
  return shownNumber(String(x)).replace(/e([+-])0*(\d)/, "e$1$2");
}

// The rows of the table: [key, label, unit]; βeff is shown as its fraction
// with the percent beside it.
export const ISO_ROWS = [
  ["D", "D", "length"],
  ["Keff", "Keff", "force/length"],
  ["Teff", "Teff", "s"],
  ["betaEff", "βeff", "fraction (%)"],
  ["B", "B", "no unit"],
  ["Sa", "Sa(Teff)", "g"],
  ["F", "F = Keff·D", "force"],
  ["F_bearing", "F per bearing", "force"],
  ["Qd", "Qd", "force"],
  ["Kd", "Kd", "force/length"],
  ["Dy", "Dy", "length"],
  ["slope", "d next/dD", "no unit"],
  ["iteration", "Iteration", ""],
];

// One design's fixed points as columns: {head, cells: {key: text}} each.
function designColumns(design, loop) {
  const points = design.points || {};
  const count = Array.isArray(points.D) ? points.D.length : 0;
  const columns = [];
  for (let i = 0; i < count; ++i) {
    const cells = {};
    for (const [key] of ISO_ROWS) if (key !== "iteration") cells[key] = numberText(points[key][i]);
    const percent = percentText(cells.betaEff);
    if (percent !== null) cells.betaEff += " (" + percent + " %)";
    const attracts = Math.abs(Number(points.slope[i])) < 1;
    cells.iteration = i === design.reached ? `reached in ${design.iterations} steps`
      : attracts ? "not reached (attracts)" : "not reached (repels)";
    columns.push({ loop, head: `point ${i + 1}` + (i === design.reached ? " (reached)" : ""), cells });
  }
  return columns;
}

// design --json as the table shows it: the model's fixed points, then the
// bilinear loop's, side by side; a loop with none in the range a column
// saying so.
export function designTable(answer) {
  const columns = [];
  for (const [design, loop] of [[answer, "model"], [answer.bilinear || {}, "bilinear"]]) {
    const found = designColumns(design, loop);
    if (found.length === 0) columns.push({ loop, head: "no fixed point in the range", cells: {} });
    columns.push(...found);
  }
  return { rows: ISO_ROWS, columns };
}

// The sentence on a design's iteration: where it starts, how many steps,
// where it ends.
export function iterationText(design, name) {
  const start = numberText(design.start);
  if (design.reached >= 0) {
    return `${name}: the code's iteration D ← next D from D = ${start} reaches point ${design.reached + 1} ` +
      `(D = ${numberText(design.points.D[design.reached])}) in ${design.iterations} steps.`;
  }
  return `${name}: the code's iteration D ← next D from D = ${start} settles on no fixed point ` +
    `(${design.iterations} steps, last D = ${numberText(design.last)}).`;
}

// ---- The map's plot ---------------------------------------------------------

// The points [D, next D] of a design's sampled map that a logarithmic axis
// can show (positive and finite).
export function mapPoints(design) {
  const map = design && design.map;
  if (!map || !Array.isArray(map.D)) return [];
  return map.D.map((D, i) => [Number(D), Number(map.next[i])])
    .filter(([D, next]) => Number.isFinite(D) && Number.isFinite(next) && D > 0 && next > 0);
}

// A design's fixed points as [D, D], on the line y = D.
export const fixedPoints = (design) => ((design.points && design.points.D) || []).map((D) => [D, D]);
