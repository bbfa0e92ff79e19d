// The measured record: quorix-cli cycles' table of it, the model's response
// along it (quorix-cli response), the fit (quorix-cli fit) and its use.
import { engine } from "./engine.js";
import { $, betaFollowed, caseOptions, fieldText, option, parameterCaption, say, setBusy } from "./fields.js";
import { baseOption, download, show, showEmpty } from "./charts.js";
import { answerOf, cyclesView, fieldRefusal, fitReportText, grouped, refusalText, shownNumber, shownReport }
  from "./replies.js";
import { solveCase } from "./solve.js";

let record = null;  // {name, bytes, samples, axes: {u, F} (the columns' names and units)}
let fitted = null;  // the fit's parameters
// What the record's plot holds: the measured force, the model's response
// with the case's parameters, and with the fitted ones (points each), and
// the case's parameters in words (caption).
let recordCurves = {};
// The arguments of the last response shown, whose table the download asks
// for, and that table's address once asked for.
let responseShown = null;
let responseUrl = null;
// Points a curve of the record's plot is drawn with at most.
const RECORD_POINTS = 20000;

const recordPath = () => "/records/" + record.name;

// The cycles' table from its cells' texts.
function showCycles(table, { head, rows }) {
  table.replaceChildren();
  if (head.length === 0) return;
  const headRow = table.createTHead().insertRow();
  for (const name of head) {
    const th = document.createElement("th");
    th.scope = "col";
    th.textContent = name;
    headRow.appendChild(th);
  }
  const body = table.createTBody();
  // The cells with at most eight significant digits: the command line
  // writes the shortest text of each double, 16–17 digits.
  for (const cells of rows) {
    const tr = body.insertRow();
    for (const cell of cells) tr.insertCell().textContent = shownNumber(cell);
  }
}

function clearRecord() {
  for (const id of ["fit", "use-parameters", "response"]) $(id).disabled = true;
  $("fit-report").textContent = "";
  setFitDownload(null);
  say("record-message", "");
  say("response-message", "");
  $("cycles-table").replaceChildren();
  setResponseDownload(null);
  fitted = null;
  record = null;
  recordCurves = {};
}

// A record read: its cycles, then the response along it. What the previous
// record drew (its plot and name, its table) goes at once, whether or not
// this one can be read.
export async function readRecord() {
  const file = $("record-file").files[0];
  clearRecord();
  await drawRecord();
  if (!file) return;
  try {
    // A name the engine's file system takes: no slash, nothing odd.
    const name = file.name.replace(/[^A-Za-z0-9._-]/g, "_") || "record";
    record = { name, bytes: await file.arrayBuffer() };
    const reply = await engine.run(["cycles", "--json", recordPath()], { files: [record] });
    const answer = answerOf(reply);
    if (reply.status !== 0 || answer === null) {
      // A displacement history alone has no cycles but has a response.
      say("record-message", "No cycles: " + refusalText(answer, { naming: true }), { error: true });
    } else {
      const view = cyclesView(answer);
      showCycles($("cycles-table"), view);
      say("record-message", view.message);
      record.samples = answer.sample_count;
      record.axes = { u: axisName(answer.displacement, "u"), F: axisName(answer.force, "F") };
      $("fit").disabled = false;
    }
  } catch (error) {
    say("record-message", "The record cannot be read: " + error.message, { error: true });
    record = null;
    await drawRecord();
    return;
  }
  await caseResponse();
}

// A plot's axis after a column of the record ({name, unit} of cycles
// --json): its name with its unit ("force [kN]", "F (kN)"), or `bare` for a
// record with no header.
function axisName(column, bare) {
  if (!column) return bare;
  const name = column.name || bare;
  return column.unit && !name.includes(column.unit) ? name + " (" + column.unit + ")" : name;
}

// quorix-cli response along the record with these parameters (numbers,
// written as the shortest texts that read back as them).
function responseArgs(p, json) {
  const args = ["response", "--n=" + p.n, "--gamma=" + p.gamma, "--alpha=" + p.alpha, "--fy=" + p.fy,
    "--uy=" + p.uy];
  if (p.z0 !== undefined) args.push("--z0=" + p.z0);
  if (json) args.push("--json");
  args.push(recordPath());
  return args;
}

// The download offers the response shown: its table is the command's own
// bytes, asked for at the first click (a response the user never downloads
// costs no second run).
function setResponseDownload(args) {
  if (responseUrl) URL.revokeObjectURL(responseUrl);
  responseUrl = null;
  responseShown = args ? { args, record } : null;
  const link = $("download-response");
  if (responseShown) {
    link.href = "#";
    link.removeAttribute("aria-disabled");
  } else {
    link.removeAttribute("href");
    link.setAttribute("aria-disabled", "true");
  }
}

export async function downloadResponse(event) {
  event.preventDefault();
  if (!responseShown) return;
  if (!responseUrl) {
    const shown = responseShown;
    const { replies: [table] } = await engine.batch([shown.args], { files: [shown.record], bytes: [0] });
    if (table.status !== 0 || shown !== responseShown) return;
    responseUrl = URL.createObjectURL(new Blob([table.outBytes], { type: "text/tab-separated-values" }));
  }
  download("response.txt", responseUrl);
}

// The curve of a response's u and one of its forces, thinned evenly to at
// most RECORD_POINTS points, the last kept.
function curveOf(u, F) {
  const stride = Math.max(1, Math.ceil(u.length / RECORD_POINTS));
  const points = [];
  for (let i = 0; i < u.length; ++i) if (i % stride === 0 || i === u.length - 1) points.push([u[i], F[i]]);
  return points;
}

// The case's fields as numbers, or the message of the field the command
// line refuses (as a Solve refuses it: a text that is no complete number, a
// value outside the model's domain). The response takes no amplitude nor
// formula set: solve checks the fields with its own amplitude and
// arithmetic.
async function caseNumbers() {
  const ids = ["n", "gamma", "alpha", "fy", "uy"];
  const check = ["solve", "--json", "--as", "none", ...caseOptions(false).filter((arg) => arg !== "--accurate")];
  const { replies: [reply], numbers } = await engine.batch([check], { parse: ids.map(fieldText) });
  const answer = answerOf(reply);
  if (reply.status !== 0 || answer === null) {
    const field = fieldRefusal(answer);
    return { message: field ? field.text : refusalText(answer, { naming: true }) };
  }
  return { p: Object.fromEntries(ids.map((id, i) => [id, numbers[i]])) };
}

// The model's response along the record with the case's fields; its table
// is the download. A case the command line refuses takes the last response
// away (curve and download): it was another case's.
export async function caseResponse() {
  if (!record) return;
  say("response-message", "");
  $("response").disabled = true;
  const shown = record;
  try {
    await betaFollowed();
    const caption = parameterCaption();
    const { p, message: refused } = await caseNumbers();
    const reply = refused ? null : await engine.run(responseArgs(p, true), { files: [record] });
    if (shown !== record) return;
    const r = reply && answerOf(reply);
    if (refused || reply.status !== 0 || r === null) {
      say("response-message", "No response: " + (refused || refusalText(r, { naming: true })), { error: true });
      delete recordCurves.model;
      setResponseDownload(null);
    } else {
      setResponseDownload(responseArgs(p, false));
      recordCurves.model = curveOf(r.u, r.F);
      recordCurves.caption = "The case's parameters: " + caption;
      if (r.F_measured) recordCurves.measured = curveOf(r.u, r.F_measured);
    }
  } catch (error) {
    if (!error.stopped) say("response-message", "No response: " + error.message, { error: true });
  } finally {
    $("response").disabled = record === null;
  }
  if (shown === record) await drawRecord();
}

// The record as measured and the model's responses along it, in the
// record's own units.
export async function drawRecord() {
  const series = [
    ["measured", "Measured", "#777777", 1],
    ["model", "Model, the case's parameters", "#143ca0", 1.5],
    ["fitted", "Fitted model", "#d25014", 1.5],
  ].filter(([key]) => recordCurves[key]).map(([key, name, colour, width]) => ({
    name, type: "line", data: recordCurves[key], showSymbol: false, lineStyle: { color: colour, width },
    itemStyle: { color: colour },
  }));
  if (series.length === 0) {
    await showEmpty("plot-record", record ? "Nothing of " + record.name + " can be drawn." : "Open a record to draw it.");
    return;
  }
  const axes = record.axes || { u: "u", F: "F" };
  const option = baseOption(record.name, axes.u, axes.F, recordCurves.model ? recordCurves.caption : "");
  option.series = series;
  await show("plot-record", option);
}

// The response along the record with the fitted parameters, drawn beside
// the others.
async function drawFitted() {
  delete recordCurves.fitted;
  if (fitted) {
    const response = await engine.run(responseArgs(fitted, true), { files: [record] });
    const r = answerOf(response);
    if (response.status === 0 && r !== null) recordCurves.fitted = curveOf(r.u, r.F);
  }
  await drawRecord();
}

// The fit: "Fitting N samples…" and its Stop while it runs, the commands
// that need the engine waiting (Solve, Loop and Read disabled, a Solve
// asked for by typing says it waits); then its report, numbers shown with
// eight significant digits at most, the download keeping every digit.
let fitting = null;
export async function fit() {
  if (!record || fitting) return;
  const shown = record;
  fitting = shown;
  for (const id of ["fit", "record-file", "response", "use-parameters"]) $(id).disabled = true;
  $("stop-fit").disabled = false;
  setBusy(1, "the fit");
  say("record-message", "Fitting " + (shown.samples ? grouped(shown.samples) + " samples" : "the record") + "…");
  try {
    const reply = await engine.run(["fit", "--no-progress", "--json", recordPath()], { files: [record] });
    const answer = answerOf(reply);
    if (reply.status !== 0 || answer === null) {
      say("record-message", "No fit: " + refusalText(answer, { naming: true }), { error: true });
      $("fit-report").textContent = "";
      setFitDownload(null);
      return;
    }
    const report = fitReportText(answer);
    $("fit-report").textContent = shownReport(report);
    setFitDownload(report);
    say("record-message", "");
    fitted = answer.parameters;
    $("use-parameters").disabled = false;
    await drawFitted();
  } catch (error) {
    say("record-message", error.stopped ? "Fit stopped: nothing fitted." : "No fit: " + error.message,
      { error: !error.stopped });
  } finally {
    fitting = null;
    setBusy(-1, "the fit");
    $("stop-fit").disabled = true;
    $("record-file").disabled = false;
    $("fit").disabled = record === null;
    $("response").disabled = record === null;
    $("use-parameters").disabled = fitted === null;
  }
}

// A fit cannot be interrupted inside the engine: its worker is ended and
// another started, as a Loop's Stop does (a Solve waiting is asked again).
export function stopFit() {
  if (fitting) engine.restart();
}

// The fit's report as the command line writes it, every digit.
let fitUrl = null;
function setFitDownload(report) {
  if (fitUrl) URL.revokeObjectURL(fitUrl);
  fitUrl = report === null ? null : URL.createObjectURL(new Blob([report], { type: "text/plain" }));
  const link = $("download-fit");
  if (fitUrl) {
    link.href = fitUrl;
    link.removeAttribute("aria-disabled");
  } else {
    link.removeAttribute("href");
    link.setAttribute("aria-disabled", "true");
  }
}
export function downloadFitReport(event) {
  event.preventDefault();
  if (fitUrl) download("fit.txt", fitUrl);
}

// The fitted case into the fields.
export async function useParameters() {
  if (fitted) await solveCase(fitted);
}

// ---- Check a program's output ---------------------------------------------
// quorix-cli verify: an analysis program's record (u, F, and z where a
// column is named z) beside the model's exact response along the recorded
// u, from the record's first z. The model is the material line when one is
// given, else the case's fields.

// The record to check: the file chosen or the text pasted, whichever was
// given last.
let programSource = "file";
export const programFileChosen = () => { programSource = "file"; };
export const programTextTyped = () => { programSource = "text"; };

async function programRecord() {
  const file = $("verify-file").files[0];
  const text = $("verify-text").value.replace(/\0/g, "");
  const useText = text.trim() !== "" && (programSource === "text" || !file);
  if (useText) return { name: "pasted.txt", bytes: new TextEncoder().encode(text).buffer };
  if (!file) return null;
  return { name: file.name.replace(/[^A-Za-z0-9._-]/g, "_") || "record", bytes: await file.arrayBuffer() };
}

// The model's options: the material line (CSI's link as key=value pairs,
// else an OpenSees material), or the case's parameters (verify follows the
// law alone: no formula set, no arithmetic).
function programModelArgs() {
  const line = $("verify-material").value.replace(/\0/g, "").trim();
  if (line !== "") {
    const csi = !/uniaxialMaterial/i.test(line) && /^\s*(k|yield|ratio|exp)\s*=/i.test(line);
    return [(csi ? "--csi-wen=" : "--material=") + line];
  }
  return ["n", "gamma", "alpha", "fy", "uy"].flatMap(option);
}

// One row a quantity (F, z): the largest difference, where it occurs
// (sample from 1, u), the RMS difference and the relative difference.
function showDifferences(answer) {
  const table = $("verify-differences");
  table.replaceChildren();
  const head = table.createTHead().insertRow();
  for (const name of ["", "largest difference", "at sample", "u there", "RMS difference", "relative difference"]) {
    const th = document.createElement("th");
    th.scope = "col";
    th.textContent = name;
    head.appendChild(th);
  }
  const body = table.createTBody();
  for (const [name, d] of [["F", answer.F], ["z", answer.z]]) {
    if (!d) continue;
    const row = body.insertRow();
    const th = document.createElement("th");
    th.scope = "row";
    th.textContent = name;
    row.appendChild(th);
    for (const value of [d.largest, d.sample, d.u, d.rms, d.relative]) {
      row.insertCell().textContent = shownNumber(String(value));
    }
  }
}

// One row a cycle: its samples and its energy (EDC) by the program and by
// the model.
function showCycleEnergies(answer) {
  const table = $("verify-cycles");
  table.replaceChildren();
  const c = answer.cycles || {};
  if (!c.first || c.first.length === 0) return;
  const head = table.createTHead().insertRow();
  for (const name of ["cycle", "samples", "EDC by the program", "EDC by the model"]) {
    const th = document.createElement("th");
    th.scope = "col";
    th.textContent = name;
    head.appendChild(th);
  }
  const body = table.createTBody();
  c.first.forEach((first, i) => {
    const row = body.insertRow();
    row.insertCell().textContent = String(i + 1);
    row.insertCell().textContent = first + "–" + c.last[i];
    row.insertCell().textContent = shownNumber(String(c.program_EDC[i]));
    row.insertCell().textContent = shownNumber(String(c.model_EDC[i]));
  });
}

function clearCheck() {
  $("verify-verdict").textContent = "";
  $("verify-verdict").className = "";
  $("verify-differences").replaceChildren();
  $("verify-cycles").replaceChildren();
}

// The check: exit status 0 (it ran, within any tolerance) or 1 (beyond the
// tolerance) both answer with the figures; 2 is a refusal.
export async function checkProgram() {
  say("verify-message", "");
  clearCheck();
  const button = $("verify");
  button.disabled = true;
  setBusy(1);
  try {
    const source = await programRecord();
    if (source === null) {
      say("verify-message", "Nothing checked: choose the program's record or paste it.", { error: true });
      return;
    }
    const tolerance = $("verify-tolerance").value.replace(/\0/g, "").trim();
    const args = ["verify", "--json", ...programModelArgs()];
    if (tolerance !== "") args.push("--tolerance=" + tolerance);
    args.push("/records/" + source.name);
    const reply = await engine.run(args, { files: [source] });
    const answer = answerOf(reply);
    if ((reply.status !== 0 && reply.status !== 1) || answer === null || answer.refusal) {
      say("verify-message", "Nothing checked: " + refusalText(answer, { naming: true }), { error: true });
      return;
    }
    const shown = answer.report.find((line) => line.includes("samples;")) || "";
    say("verify-message", shown + (answer.cycles_note ? "; no cycle's energy: " + answer.cycles_note : ""));
    showDifferences(answer);
    showCycleEnergies(answer);
    const verdict = $("verify-verdict");
    verdict.textContent = "Verdict: " + answer.verdict_text;
    verdict.className = "verdict-" + answer.verdict;
  } catch (error) {
    if (!error.stopped) say("verify-message", "Nothing checked: " + error.message, { error: true });
  } finally {
    setBusy(-1);
    button.disabled = false;
  }
}
