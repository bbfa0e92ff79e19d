// The case's and the Loop's fields: their texts as the command line's
// arguments, a refused field's mark, what a result was computed from, β
// following γ, the query string, and the buttons that wait while a command
// runs.
import { engine } from "./engine.js";
import { ADDRESS_FIELDS, FIELD_NAME, OPTION_OF, leadingZero, readAddress } from "./replies.js";
import { ISO_ADDRESS_FIELDS, ISO_ADDRESS_KEYS, readIsolationAddress } from "./isolation-replies.js";

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
// read, with its leading zero (the window's ".1" is the page's "0.1"); a γ beyond the range of a double leaves β as it was. The answers
// come back in order, so the last one is the latest γ.
// A command waits for the β of the last γ typed (betaFollowed) before it
// reads the fields.
let betaFollowing = Promise.resolve();
export const betaFollowed = () => betaFollowing;
export function followGamma() {
  betaFollowing = engine.request({ type: "beta", gamma: fieldText("gamma") }).then((reply) => {
    if (reply.beta !== "") $("beta").value = leadingZero(reply.beta);
  }, () => {});
}

// A line under a command: an error (refused, failed) in the page's red,
// anything else (what runs, what was stopped, notes) in its ink.
export function say(id, text, { error = false } = {}) {
  $(id).textContent = text;
  $(id).classList.toggle("error", error && text !== "");
}

// Commands running, and what the longest of them is ("the fit", "the
// Loop"): Solve, Loop and Read wait for none; a Solve asked for meanwhile
// (a field typed in) waits in the engine, and says so.
let busy = 0;
const running = [];
export const isBusy = () => busy > 0;
export const busyWith = () => running[running.length - 1] || "";
export function setBusy(delta, what = "") {
  busy += delta;
  if (what && delta > 0) running.push(what);
  if (what && delta < 0) running.splice(running.lastIndexOf(what), 1);
  for (const id of ["solve", "loop", "read-material", "iso-design"]) $(id).disabled = busy > 0;
}

// ---- The query string -------------------------------------------------

// The address's fields and choices into the page; what it holds that the
// page cannot use is said under Solve. {gammaGiven, loop}: whether it gave
// γ (and the β to follow) and asks for its Loop (loop=1, which the address
// of a page showing its Loop carries).
export function readQuery() {
  const address = readAddress(location.search, ISO_ADDRESS_KEYS);
  for (const [id, text] of Object.entries(address.fields)) $(id).value = text;
  if (address.mode !== null) {
    $("mode-direct").checked = address.mode === "direct";
    $("mode-complementary").checked = address.mode !== "direct";
  }
  if (address.accurate !== null) $("accurate").checked = address.accurate;
  const isolation = readIsolationAddress(location.search);
  for (const [id, text] of Object.entries(isolation.fields)) $(id).value = text;
  if (isolation.code !== null) $("iso-code").value = isolation.code;
  if (isolation.sa !== null) $(isolation.sa === "table" ? "iso-sa-table" : "iso-sa-s1").checked = true;
  say("address-message", addressNote(address.note, isolation.unknown));
  return { gammaGiven: "gamma" in address.fields, loop: address.loop, design: isolation.run };
}

// The sentence on what the address holds that the page cannot use, the
// Isolation section's values joined to the others'.
function addressNote(note, unknown) {
  if (unknown.length === 0) return note;
  if (note === "") return "The address holds what the page does not know, left out: " + unknown.join(", ") + ".";
  return note.replace(/\.$/, ", " + unknown.join(", ") + ".");
}

// Whether the Loop shown is the fields' (sweep.js tells): the address then
// carries loop=1, and opened elsewhere runs it again.
let loopShown = () => false;
export const followLoopShown = (shown) => { loopShown = shown; };

// Whether the design shown is the fields' (isolation.js tells): the address
// then carries iso=1, and opened elsewhere designs again.
let designShown = () => false;
export const followDesignShown = (shown) => { designShown = shown; };

export function queryOfFields({ loop = loopShown() } = {}) {
  const params = new URLSearchParams();
  for (const [key, id] of Object.entries(ADDRESS_FIELDS)) params.set(key, $(id).value);
  params.set("mode", $("mode-direct").checked ? "direct" : "complementary");
  if ($("accurate").checked) params.set("accurate", "1");
  if (loop) params.set("loop", "1");
  for (const [key, id] of Object.entries(ISO_ADDRESS_FIELDS)) params.set(key, $(id).value);
  params.set("code", $("iso-code").value);
  params.set("sa", $("iso-sa-table").checked ? "table" : "s1");
  if (designShown()) params.set("iso", "1");
  return "?" + params.toString();
}

// In a task of its own: the address's change took 10–20 ms, which the end
// of a Solve or a Loop need not wait for.
export function writeQuery(query = queryOfFields()) {
  setTimeout(() => {
    if (query !== location.search) history.replaceState(null, "", query);
  }, 0);
}
