// The case's and the Loop's fields: their texts as the command line's
// arguments, a refused field's mark, what a result was computed from, β
// following γ, the query string, and the buttons that wait while a command
// runs.
import { engine } from "./engine.js";
import { FIELD_NAME, OPTION_OF } from "./replies.js";

export const $ = (id) => document.getElementById(id);

export const CASE_FIELDS = ["gamma", "n", "alpha", "fy", "uy", "umax"];
export const SWEEP_FIELDS = ["from", "to", "step"];

// The fields' texts go to the command line as --name=TEXT, so that a text
// that looks like an option stays a value (the option parser takes no
// empty text that way: an empty field goes as its own argument, which the
// command line refuses as no number). A NUL cannot be passed at all.
export const fieldText = (id) => $(id).value.replace(/\0/g, "");
export const option = (id) => (fieldText(id) === "" ? [OPTION_OF[id], ""] : [OPTION_OF[id] + "=" + fieldText(id)]);

// The texts as typed, read as the command line reads its arguments: a text
// that is not a complete number ("2,5", "abc", an empty field) or a value
// outside the model's domain is refused, naming the field, and nothing is
// computed. (The window's lenient reading, --as-typed, took "2,5" for 2.)
export function caseOptions(withAmplitude) {
  const args = [...option("n"), ...option("gamma"), ...option("beta"), ...option("alpha"),
    ...option("fy"), ...option("uy")];
  if (withAmplitude) args.push(...option("umax"));
  args.push($("mode-direct").checked ? "--direct" : "--complementary");
  if ($("accurate").checked) args.push("--accurate");
  return args;
}

// ---- A refused field --------------------------------------------------

// Marks the field a refusal names, with its message beside it
// (fieldRefusal's), or clears the marks of `ids` (text null).
export function markField(id, text) {
  const input = $(id);
  const message = $("error-" + id);
  if (!input || !message) return;
  message.textContent = text || "";
  message.hidden = !text;
  if (text) input.setAttribute("aria-invalid", "true");
  else input.removeAttribute("aria-invalid");
}
export const clearMarks = (ids) => ids.forEach((id) => markField(id, null));

// ---- What a result was computed from -------------------------------------

// The inputs a Solve (withAmplitude) or a Loop reads, as one text: a result
// shown belongs to the fields while their key is the one it was made with.
export function inputsKey(withAmplitude, withRange = false) {
  const ids = [...CASE_FIELDS.filter((id) => withAmplitude || id !== "umax"), ...(withRange ? SWEEP_FIELDS : [])];
  return JSON.stringify([ids.map(fieldText), $("mode-direct").checked, $("accurate").checked]);
}

// The case in words, for the captions of what was computed from it:
// "γ 0.9, n 2.0, α 0.10, Fy 2.86, Uy 0.111; Complementary, the specified
// arithmetic".
export const parameterCaption = () =>
  ["gamma", "n", "alpha", "fy", "uy"].map((id) => FIELD_NAME[OPTION_OF[id]] + " " + fieldText(id)).join(", ");
export const caseCaption = () => parameterCaption() + "; " +
  ($("mode-direct").checked ? "Direct" : "Complementary") + ", " +
  ($("accurate").checked ? "accurate" : "the specified arithmetic");

// The captions of the loop integrals before any Solve has given them: the
// window's, "Kcd* :" and "Kda* :" for the Complementary set.
export function relabelLoopIntegrals() {
  const complementary = $("mode-complementary").checked;
  $("caption-Kcd").textContent = complementary ? "Kcd* :" : "Kcd :";
  $("caption-Kda").textContent = complementary ? "Kda* :" : "Kda :";
}

// β follows γ as the window's field does: FormatPlainNumber(1 − γ) of γ as
// read; a γ beyond the range of a double leaves β as it was. The answers
// come back in order, so the last one is the latest γ.
// A command waits for the β of the last γ typed (betaFollowed) before it
// reads the fields.
let betaFollowing = Promise.resolve();
export const betaFollowed = () => betaFollowing;
export function followGamma() {
  betaFollowing = engine.request({ type: "beta", gamma: fieldText("gamma") }).then((reply) => {
    if (reply.beta !== "") $("beta").value = reply.beta;
  }, () => {});
}

// Commands running; Solve and Loop wait for none.
let busy = 0;
export const isBusy = () => busy > 0;
export function setBusy(delta) {
  busy += delta;
  for (const id of ["solve", "loop", "read-material"]) $(id).disabled = busy > 0;
}

// ---- The query string -------------------------------------------------

const QUERY = { gamma: "gamma", n: "n", alpha: "alpha", fy: "fy", uy: "uy", u: "umax", from: "from", to: "to",
  step: "step" };

// The fields of the address; whether it gave γ (and asks for a Solve).
export function readQuery() {
  const params = new URLSearchParams(location.search);
  for (const [key, id] of Object.entries(QUERY)) {
    if (params.has(key)) $(id).value = params.get(key);
  }
  if (params.has("mode")) {
    const direct = params.get("mode") === "direct";
    $("mode-direct").checked = direct;
    $("mode-complementary").checked = !direct;
  }
  if (params.has("accurate")) $("accurate").checked = params.get("accurate") === "1";
  return params.has("gamma");
}

export function queryOfFields() {
  const params = new URLSearchParams();
  for (const [key, id] of Object.entries(QUERY)) params.set(key, $(id).value);
  params.set("mode", $("mode-direct").checked ? "direct" : "complementary");
  if ($("accurate").checked) params.set("accurate", "1");
  return "?" + params.toString();
}

// In a task of its own: the address's change took 10–20 ms, which the end
// of a Solve or a Loop need not wait for.
export function writeQuery(query = queryOfFields()) {
  setTimeout(() => {
    if (query !== location.search) history.replaceState(null, "", query);
  }, 0);
}
