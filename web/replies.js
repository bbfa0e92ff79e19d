// What the page shows of quorix-cli's JSON replies: no DOM here, so that
// node's own test runner reads the same replies the page reads
// (web/tests/unit). Every text comes from the engine; the page picks it
// out, names a field, joins lines, and for reading shortens a table's
// 16–17-digit texts, adds a leading zero and moves ξeq's decimal point.

// The nine results and the three derived quantities, in the order
// `quorix-cli solve` prints them.
export const RESULT_NAMES = ["Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE",
  "XiEq", "Ksec", "KsecOverK0"];

// The option each field gives, and the field's name in a message.
export const OPTION_OF = { n: "--n", gamma: "--gamma", beta: "--beta", alpha: "--alpha", fy: "--fy", uy: "--uy",
  umax: "--u", from: "--from", to: "--to", step: "--step" };
export const FIELD_NAME = { "--n": "n", "--gamma": "γ", "--beta": "β", "--alpha": "α", "--fy": "Fy", "--uy": "Uy",
  "--u": "Umax/Uy", "--from": "From", "--to": "To", "--step": "Step" };
// The options the page gives that are no field, as the page names them.
const INPUT_NAME = { ...FIELD_NAME, "--material": "the material line", "--csi-wen": "the link line" };

// A message of the command line in the page's words: its options named as
// the page names their fields ("--step: …" reads "Step: …"). An option the
// page does not give stays as written.
export const pageWords = (text) =>
  text.replace(/(^|[\s(])(--[a-z][a-z0-9-]*)(?=[:\s,)]|$)/g,
    (whole, before, option) => (Object.hasOwn(INPUT_NAME, option) ? before + INPUT_NAME[option] : whole));

const FAILED = "the command failed";

// The object a command answered with --json ({status, out} of the engine),
// or null when its output holds none (a run that died before answering).
export function answerOf(reply) {
  const text = reply && typeof reply.out === "string" ? reply.out.trim() : "";
  if (text === "") return null;
  try {
    return JSON.parse(text);
  } catch (error) {
    return null;
  }
}

// A refused command's message ({"refusal": {...}}). With naming, a refusal
// of one field's option names the field ("n: number beyond the range of a
// double: 1e999") as the window names it beside its field.
export function refusalText(answer, { naming = false } = {}) {
  const refusal = answer && answer.refusal;
  if (!refusal || typeof refusal.message !== "string") return FAILED;
  if (naming && refusal.option && Object.hasOwn(FIELD_NAME, refusal.option) && typeof refusal.reason === "string") {
    return FIELD_NAME[refusal.option] + ": " + refusal.reason;
  }
  return naming ? pageWords(refusal.message) : refusal.message;
}

// solve --json's twelve rows as shown: {name, caption, text}.
export function resultRows(answer) {
  const texts = { ...answer.texts, ...answer.derived_texts };
  return RESULT_NAMES.map((name) => {
    if (typeof texts[name] !== "string" || typeof answer.captions[name] !== "string") {
      throw new Error("the engine's answer has no text for " + name);
    }
    return { name, caption: answer.captions[name], text: texts[name] };
  });
}

// The case as analysis programs write it: the lines of --as.
export const materialText = (answer) => (answer.material_lines || []).join("\n");

// cycles --json as shown: the table's head and rows of texts, and the line
// under it (the report's notes, then the warnings).
export function cyclesView(answer) {
  const [head = [], ...rows] = answer.table || [];
  return { head, rows, message: [...(answer.notes || []), ...(answer.warnings || [])].join(" ") };
}

// fit --json's report as shown: the text report, then each warning on a
// line of its own.
export function fitReportText(answer) {
  const warnings = answer.warnings || [];
  return answer.report + (warnings.length ? "\n" + warnings.map((w) => "warning: " + w).join("\n") + "\n" : "");
}

// The end of a sweep's output with --json: its table's bytes, and a refusal
// after them when the sweep was refused (one JSON line, which a table's
// line never starts with "{"). The table keeps only complete lines, as
// quorix-cli keeps the header and complete rows.
export function sweepEnd(bytes) {
  let end = bytes.lastIndexOf(10) + 1;
  let refusal = null;
  if (end > 0) {
    const start = bytes.lastIndexOf(10, end - 2) + 1;
    if (bytes[start] === 123) {  // "{"
      refusal = answerOf({ out: new TextDecoder().decode(bytes.subarray(start, end)) });
      if (refusal !== null) end = start;
    }
  }
  return { table: bytes.subarray(0, end), refusal };
}

// A count with its thousands grouped ("4,999,901"), as toLocaleString("en-US")
// writes it; not through Intl itself, whose first use set up its locale
// data for some 30 ms at the first Loop's first progress text.
export const grouped = (n) => String(Math.max(0, n)).replace(/\B(?=(\d{3})+$)/g, ",");

// ---- Refused fields ------------------------------------------------------

// The field each option comes from. β follows γ and cannot be typed: a
// refusal of --beta is γ's to mend.
export const FIELD_OF = { ...Object.fromEntries(Object.entries(OPTION_OF).map(([id, opt]) => [opt, id])),
  "--beta": "gamma" };

// The command line closes a refused text's reason with a hint about its own
// options ("; --as-typed reads it as …"), which the page does not offer.
const COMMAND_LINE_HINT = /; --[a-z-]+ [^)]*\)$/;
export const readerReason = (reason) => reason.replace(COMMAND_LINE_HINT, ")");

// The field a refusal names and the message shown beside it, by the page's
// name of the field ("Umax/Uy: \"2,5\" is not a number (the decimal point is
// '.')"); null when the refusal names no field of the page.
export function fieldRefusal(answer) {
  const refusal = answer && answer.refusal;
  if (!refusal || !Object.hasOwn(FIELD_OF, refusal.option) || typeof refusal.reason !== "string") return null;
  return { field: FIELD_OF[refusal.option], text: FIELD_NAME[refusal.option] + ": " + readerReason(refusal.reason) };
}

// A sweep's amplitudes Umax/Uy = Step·i + From (i = 0 … rows − 1), the
// command line's own arithmetic, are the model's amplitudes and must not be
// negative: a range that gives one is refused before its first row, as the
// command line refuses a negative Umax/Uy, naming From when the first row is
// negative, else To (the last). The numbers are those of the three texts,
// rows the sweep's row count.
export function sweepRangeRefusal(from, to, step, rows) {
  if (rows === 0) return emptyRangeRefusal(from, to, step);
  if (!(rows >= 1)) return null;
  const last = step * (rows - 1) + from;
  const refused = (option, rule, value, text) => {
    const reason = rule + ": " + String(value) + " (outside the model's domain)";
    return { refusal: { message: option + ": " + reason, option, reason, value: text } };
  };
  if (from < 0) return refused("--from", "Umax/Uy must not be negative", from, String(from));
  if (last < 0) return refused("--to", "the last row's Umax/Uy must not be negative", last, String(to));
  return null;
}

// A range of no row, which the command line writes as a table of its
// header alone: refused, saying why (To on the wrong side of From for
// Step's sign). The texts are the fields', the numbers theirs.
function emptyRangeRefusal(from, to, step) {
  const refused = (option, reason, value) => ({ refusal: { message: option + ": " + reason, option, reason, value } });
  const texts = [from, to, step].map(roundTrip);
  if (step > 0 && to < from) {
    return refused("--to", `${texts[1]} is below From ${texts[0]}: the range holds no amplitude (Step is positive, ` +
      "the rows run upwards from From)", texts[1]);
  }
  if (step < 0 && to > from) {
    return refused("--step", `${texts[2]} is negative but To ${texts[1]} is above From ${texts[0]}: the range ` +
      "holds no amplitude (a negative Step runs the rows downwards)", texts[2]);
  }
  return refused("--to", "the range from From to To by Step holds no amplitude", texts[1]);
}

// ---- Results that differ from the exact values ---------------------------

// The results as the page names them in a sentence.
const RESULT_TEXT = { Za: "Za", Fha: "Fha", Fela: "Fela", Fa: "Fa", Kcd: "Kcd", Kda: "Kda",
  DEOverFyUy: "DE/(Fy Uy)", DEOverFhUy: "DE/(Fh Uy)", DE: "DE", XiEq: "XiEq", Ksec: "Ksec", KsecOverK0: "Ksec/K0" };
// The bound the command line flags with, for a sweep's rows, which do not
// carry it (solve's answer does: check_bound).
export const CHECK_BOUND = 1e-4;
const boundText = (bound) => bound.toExponential();
const plural = (n, one, many) => grouped(n) + " " + (n === 1 ? one : many);

// solve --json's results that differ from the exact values (its "flagged",
// in the order the results are shown), each with the exact value's text as
// the results are written (null where the answer has none). The accurate
// mode's answer flags nothing.
export function flaggedResults(answer) {
  const flagged = Array.isArray(answer.flagged) ? answer.flagged : [];
  const texts = answer.exact_texts || {};
  return RESULT_NAMES.filter((name) => flagged.includes(name))
    .map((name) => ({ name, exactText: typeof texts[name] === "string" ? texts[name] : null }));
}

// The sentence under the results when some are flagged; "" when none is.
export function resultFlagsText(flags, bound = CHECK_BOUND) {
  if (flags.length === 0) return "";
  return plural(flags.length, "result differs", "results differ") + " from the exact value by more than " +
    boundText(bound) + " (relative) or in sign: " + flags.map((f) => RESULT_TEXT[f.name]).join(", ") +
    ". The specified arithmetic loses its digits here; Accurate gives the exact values.";
}

// The sentence above a Loop's table when some rows are flagged; "" when none
// is. flags: {count, first: {u, names}} of sweepCurves.
export function sweepFlagsText(flags, bound = CHECK_BOUND) {
  if (!flags || flags.count === 0 || !flags.first) return "";
  return plural(flags.count, "row differs", "rows differ") + " from the exact values by more than " +
    boundText(bound) + " (relative) or in sign; first at Umax/Uy = " + String(flags.first.u) + " (" +
    flags.first.names.map((name) => RESULT_TEXT[name] || name).join(", ") + "). Accurate gives the exact values.";
}

// ---- A sweep's rows as numbers -------------------------------------------

// What the Loop draws of each row of sweep --jsonl: the engine's doubles.
export const CURVE_KEYS = ["UmaxOverUy", "DE", "XiEq", "Za"];
const noPoints = () => Object.fromEntries(CURVE_KEYS.map((key) => [key, []]));

// Reads sweep --jsonl's output as it comes, in pieces cut anywhere: keeps
// the curves' points of every stride-th row (stride = ⌈total/maxPoints⌉, the
// last row kept too, so a long sweep is thinned evenly to at most maxPoints
// and a short one drawn whole), counts the rows that carry flags and keeps
// the first, and a refusal after the rows. take() hands over the points
// kept since the last take, with the counts so far.
export function sweepCurves(total, maxPoints) {
  const stride = total > 0 ? Math.max(1, Math.ceil(total / maxPoints)) : 1;
  let pending = "";
  let rows = 0;
  let points = noPoints();
  let refusal = null;
  const flags = { count: 0, first: null };
  const read = (line) => {
    if (line.trim() === "") return;
    const row = JSON.parse(line);
    if (row.refusal) {
      refusal = row;
      return;
    }
    const i = rows++;
    if (Array.isArray(row.flagged) && row.flagged.length > 0) {
      if (flags.count++ === 0) flags.first = { u: row.UmaxOverUy, names: row.flagged };
    }
    if (i % stride === 0 || i === total - 1) for (const key of CURVE_KEYS) points[key].push(row[key] ?? NaN);
  };
  return {
    add(text) {
      const lines = (pending + text).split("\n");
      pending = lines.pop();
      lines.forEach(read);
    },
    take() {
      const taken = { ...points, rows, flags: { ...flags }, refusal };
      points = noPoints();
      return taken;
    },
  };
}

// The curves' pieces as they came (take()'s), joined: the points in order,
// the counts of the last.
export function joinCurves(pieces) {
  const joined = { ...noPoints(), rows: 0, flags: { count: 0, first: null }, refusal: null };
  for (const piece of pieces) {
    for (const key of CURVE_KEYS) for (const value of piece[key]) joined[key].push(value);
    Object.assign(joined, { rows: piece.rows, flags: piece.flags, refusal: piece.refusal });
  }
  return joined;
}

// ---- Numbers as the page writes them --------------------------------------

// A number's text with its leading zero: the window's plain texts drop it
// (".25" for 1 − 0.75), which reads as a typo on a page.
export const leadingZero = (text) => text.replace(/^([+-]?)\./, "$10.");

// The shortest text that reads back as the double x, with its leading zero
// (JavaScript's own Number → String is that shortest text).
export const roundTrip = (x) => String(x);

// A table's cell as the page shows it: a number written with more than
// TABLE_DIGITS + 1 significant digits (the command line's shortest round
// trip, 16–17 of them) is shown with TABLE_DIGITS, its trailing zeros
// dropped; any other text as it is. The downloads keep every digit.
export const TABLE_DIGITS = 7;
const NUMBER = /^([+-]?)(\d*)\.?(\d*)(?:[eE]([+-]?\d+))?$/;
export function shownNumber(text) {
  const match = NUMBER.exec(text);
  if (!match || (match[2] === "" && match[3] === "")) return text;
  const significant = (match[2] + match[3]).replace(/^0+/, "").length;
  if (significant <= TABLE_DIGITS + 1) return text;
  const short = Number(text).toPrecision(TABLE_DIGITS);
  // 1.234500e-7 → 1.2345e-7; 25.77000 → 25.77
  return short.replace(/(\.\d*?)0+(?=$|e)/, "$1").replace(/\.(?=$|e)/, "");
}

// A report's line as shown: its TAB-separated cells' numbers as
// shownNumber writes them (a cell "0.56374297704 % of the mean F+" too);
// a line with no TAB (a material line, a sentence) as it is.
export function shownReportLine(line) {
  if (!line.includes("\t")) return line;
  return line.split("\t").map((cell) => cell.replace(/[+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?/g,
    (number, at) => (at > 0 && /[\w.]/.test(cell[at - 1]) ? number : shownNumber(number)))).join("\t");
}
export const shownReport = (text) => text.split("\n").map(shownReportLine).join("\n");

// ξeq in percent from its text as a fraction ("0.120754323" → "12.0754323"),
// the decimal point moved two places: no digit is rounded or made up.
export function percentText(text) {
  const match = /^([+-]?)(\d+)\.?(\d*)$/.exec(text);
  if (!match) return null;
  const digits = (match[2] + match[3].padEnd(2, "0"));
  const point = match[2].length + 2;
  const whole = digits.slice(0, point).replace(/^0+(?=\d)/, "");
  const fraction = digits.slice(point);
  return match[1] + whole + (fraction ? "." + fraction : "");
}

// ---- The lines analysis programs read --------------------------------------

// solve --as's lines, "Program: command", as {label, command}: the command
// alone is what the program (and the page's own reader) takes; a program
// the case has no line for ("none (…)") has no command.
export function materialCommands(lines) {
  return lines.map((line) => {
    const at = line.indexOf(": ");
    const label = at < 0 ? "" : line.slice(0, at);
    const rest = at < 0 ? line : line.slice(at + 2);
    return { label, line, command: /^none\b/.test(rest) ? null : rest };
  });
}

// ---- The address ---------------------------------------------------------

// The address's keys and the fields they fill.
export const ADDRESS_FIELDS = { gamma: "gamma", n: "n", alpha: "alpha", fy: "fy", uy: "uy", u: "umax", from: "from",
  to: "to", step: "step" };
const CHOICES = { mode: ["direct", "complementary"], accurate: ["0", "1"], loop: ["0", "1"] };

// What an address's query gives: the fields' texts, the choices (mode and
// accurate, read whatever their letters' case), whether it runs its Loop
// (loop=1), and the sentence for what it holds that the page cannot use
// ("" when everything is used). The keys in `others` belong to another
// reader (the Isolation section's) and are passed over.
export function readAddress(search, others = []) {
  const params = new URLSearchParams(search);
  const fields = {};
  const choices = {};
  const unknown = [];
  for (const [key, value] of params) {
    if (others.includes(key)) continue;
    if (Object.hasOwn(ADDRESS_FIELDS, key)) fields[ADDRESS_FIELDS[key]] = value;
    else if (Object.hasOwn(CHOICES, key) && CHOICES[key].includes(value.toLowerCase())) choices[key] = value.toLowerCase();
    else if (Object.hasOwn(CHOICES, key)) {
      unknown.push(`${key}=${value} (it takes ${CHOICES[key].join(" or ")})`);
    } else unknown.push(`${key}=${value} (no field of the page)`);
  }
  const note = unknown.length === 0 ? ""
    : "The address holds what the page does not know, left out: " + unknown.join(", ") + ".";
  return { fields, mode: choices.mode ?? null, accurate: choices.accurate ? choices.accurate === "1" : null,
    loop: choices.loop === "1", note };
}
