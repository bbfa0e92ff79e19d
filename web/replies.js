// What the page shows of quorix-cli's JSON replies: no DOM here, so that
// node's own test runner reads the same replies the page reads
// (web/tests/unit). Every text comes whole from the engine; the page only
// picks it out, names a field, and joins lines.

// The nine results and the three derived quantities, in the order
// `quorix-cli solve` prints them.
export const RESULT_NAMES = ["Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE",
  "XiEq", "Ksec", "KsecOverK0"];

// The option each field gives, and the field's name in a message.
export const OPTION_OF = { n: "--n", gamma: "--gamma", beta: "--beta", alpha: "--alpha", fy: "--fy", uy: "--uy",
  umax: "--u", from: "--from", to: "--to", step: "--step" };
export const FIELD_NAME = { "--n": "n", "--gamma": "γ", "--beta": "β", "--alpha": "α", "--fy": "Fy", "--uy": "Uy",
  "--u": "Umax/Uy", "--from": "From", "--to": "To", "--step": "Step" };

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
  return refusal.message;
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
