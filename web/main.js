// Quorix's page: the window's fields and commands, with quorix-cli itself
// (compiled to WebAssembly, worker.js) doing every computation. The page
// passes the fields' texts as the command line reads them, refusing what is
// no number or lies outside the model's domain, and shows the texts of the
// command line's JSON answers; it computes no result of its own, and only
// shortens the texts of tables to seven significant digits, adds a leading
// zero and writes ξeq in percent (replies.js). This module wires the others
// to the page.
import { engine } from "./engine.js";
import { $, CASE_FIELDS, SWEEP_FIELDS, followGamma, isBusy, markField, queryOfFields, readQuery, relabelLoopIntegrals,
  say, setBusy } from "./fields.js";
import { exportPlot, nextFrame, showEmpty } from "./charts.js";
import { TYPING_PAUSE, afterSolve, markResultsStale, requestSolve, solve } from "./solve.js";
import { curvesDone, markLoopStale, runSweep, stopSweep } from "./sweep.js";
import { caseResponse, checkProgram, downloadFitReport, downloadResponse, fit, programFileChosen, programTextTyped,
  readRecord, stopFit, useParameters } from "./records.js";
import { readMaterial } from "./materials.js";
import { markIsolationStale, runDesign, wireIsolation } from "./isolation.js";

const PLOTS = ["plot-loop", "plot-de", "plot-xieq", "plot-za", "plot-record", "plot-iso"];

// A change of the case: what was computed from the fields before is greyed
// at once, and the case solved again after `delay` (a pause in typing).
function caseChanged(delay) {
  markResultsStale();
  markLoopStale();
  markIsolationStale();
  requestSolve(delay);
}

function wireFields() {
  for (const id of CASE_FIELDS) $(id).addEventListener("input", () => caseChanged(TYPING_PAUSE));
  for (const id of ["mode-direct", "mode-complementary", "accurate"]) $(id).addEventListener("change", () => caseChanged(0));
  // A Loop's range is read when Loop is pressed: a refused text's mark,
  // which quotes it, goes once the text changes.
  for (const id of SWEEP_FIELDS) {
    $(id).addEventListener("input", () => {
      markField(id, null);
      markLoopStale();
    });
  }
  $("gamma").addEventListener("input", followGamma);
  // Select-all on focus, as the window's text boxes.
  for (const id of [...CASE_FIELDS, ...SWEEP_FIELDS]) $(id).addEventListener("focus", (e) => e.target.select());
  wireIsolation();
}

function wire() {
  // On the buttons' clicks, which Enter in a field of their form gives too
  // (its implicit submission clicks the form's button): the form's submit
  // event came a millisecond or two after the click, more than the engine
  // takes for a Solve. A Solve asked for while one runs comes after it.
  for (const [form, button, command, waits] of [["case-form", "solve", solveAndShow, false], ["loop-form", "loop", runSweep, true]]) {
    const start = (event) => {
      event.preventDefault();
      if (!waits || !isBusy()) command();
    };
    $(button).addEventListener("click", start);
    $(form).addEventListener("submit", start);
  }
  $("stop").addEventListener("click", stopSweep);
  $("copy-link").addEventListener("click", copyLink);
  wireFields();
  // A plot is exported as it is once the curves of the last Loop are drawn.
  for (const id of PLOTS) {
    $(id + "-png").addEventListener("click", () => exportPlot(id, "png", curvesDone()));
    $(id + "-svg").addEventListener("click", () => exportPlot(id, "svg", curvesDone()));
  }
  $("record-file").addEventListener("change", readRecord);
  $("fit").addEventListener("click", fit);
  $("verify").addEventListener("click", checkProgram);
  $("verify-file").addEventListener("change", programFileChosen);
  $("verify-text").addEventListener("input", programTextTyped);
  $("stop-fit").addEventListener("click", stopFit);
  $("download-fit").addEventListener("click", downloadFitReport);
  $("use-parameters").addEventListener("click", useParameters);
  $("response").addEventListener("click", caseResponse);
  $("download-response").addEventListener("click", downloadResponse);
  $("material-form").addEventListener("submit", (event) => {
    event.preventDefault();
    if (!isBusy()) readMaterial();
  });
  // The response along an open record follows the case as its results do.
  afterSolve(caseResponse);
}

// A Solve asked for with its button (or Enter): where the results lie out of
// sight (a phone's one column puts them below the case), they are brought
// into view once shown.
async function solveAndShow() {
  await solve();
  const results = $("results-heading").getBoundingClientRect();
  if (results.top < 0 || results.top > innerHeight - 80) {
    $("results-heading").scrollIntoView({ block: "start", behavior: "instant" });
  }
}

// The address of the page as it is (the fields, the choices, loop=1 when its
// Loop is shown) onto the clipboard, or, where the page may not write there,
// into the address bar for the browser's own copy.
async function copyLink() {
  const link = location.origin + location.pathname + queryOfFields();
  try {
    await navigator.clipboard.writeText(link);
    $("copy-link").textContent = "Copied";
    setTimeout(() => { $("copy-link").textContent = "Copy link"; }, 1500);
  } catch (error) {
    history.replaceState(null, "", queryOfFields());
    say("address-message", "The page may not write to the clipboard here: copy the address from the address bar.");
  }
}

// The engine's worker did not start (a page opened from a file, a site
// served without its engine): the note on how to serve the page, and why.
function engineFailed(error) {
  $("serve-reason").textContent = "Its engine did not start: " + error.message + ".";
  $("serve-note").hidden = false;
  say("message", "Nothing computed: the engine did not start.", { error: true });
}

async function main() {
  engine.started.catch(engineFailed);
  wire();
  for (const id of ["plot-de", "plot-xieq", "plot-za"]) showEmpty(id, "Run a Loop to draw its curves.");
  showEmpty("plot-loop", "Solve to draw the loop.");
  showEmpty("plot-record", "Open a record to draw it.");
  const { gammaGiven, loop, design } = readQuery();
  relabelLoopIntegrals();
  if (gammaGiven) followGamma();
  // The window starts with the focus on Solve, its Tab order going on to
  // γ; the page keeps its reading order, so Tab begins at γ.
  await solve();
  // The buttons, disabled in the page as loaded, once it can compute.
  setBusy(0);
  // The engine's code is compiled function by function as it is first
  // called (and tiered up as it gets hot): a first Loop paid some 20 ms for
  // that. One sweep of each arithmetic, its table thrown away, pays it now
  // (with the rows as numbers, which a Loop reads for its curves).
  await engine.batch([["sweep", "--accurate"], ["sweep"], ["sweep", "--jsonl", "--to", "1"]]);
  // A shared link of a page that showed its Loop runs that Loop.
  if (loop) await runSweep();
  // And one that showed its design designs again.
  if (design) await runDesign();
  // Ready once the loop is painted, not only handed to its chart: a click
  // at once would otherwise wait for that frame.
  await nextFrame();
  document.body.dataset.ready = "1";
  // Kept for use without the network (sw.js); where the browser allows no
  // service worker (a page opened from a file, say), it is fetched again
  // each time it is opened.
  if ("serviceWorker" in navigator && window.isSecureContext) navigator.serviceWorker.register("sw.js").catch(() => {});
}

main();
