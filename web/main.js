// Quorix's page: the window's fields and commands, with quorix-cli itself
// (compiled to WebAssembly, worker.js) doing every computation. The page
// passes the fields' texts as the window reads them (--as-typed) and shows
// the texts of the command line's JSON answers; it formats no result of its
// own. This module wires the others to the page.
import { engine } from "./engine.js";
import { $, CASE_FIELDS, SWEEP_FIELDS, followGamma, isBusy, readQuery, relabelLoopIntegrals } from "./fields.js";
import { exportPlot, nextFrame, showEmpty } from "./charts.js";
import { solve } from "./solve.js";
import { curvesDone, runSweep, stopSweep } from "./sweep.js";
import { caseResponse, downloadResponse, fit, readRecord, useParameters } from "./records.js";
import { copyMaterials, readMaterial } from "./materials.js";

const PLOTS = ["plot-loop", "plot-de", "plot-xieq", "plot-za", "plot-record"];

function wire() {
  // On the buttons' clicks, which Enter in a field of their form gives too
  // (its implicit submission clicks the form's button): the form's submit
  // event came a millisecond or two after the click, more than the engine
  // takes for a Solve.
  for (const [form, button, command] of [["case-form", "solve", solve], ["loop-form", "loop", runSweep]]) {
    const start = (event) => {
      event.preventDefault();
      if (!isBusy()) command();
    };
    $(button).addEventListener("click", start);
    $(form).addEventListener("submit", start);
  }
  $("stop").addEventListener("click", stopSweep);
  $("gamma").addEventListener("input", followGamma);
  for (const id of ["mode-direct", "mode-complementary"]) $(id).addEventListener("change", relabelLoopIntegrals);
  // Select-all on focus, as the window's text boxes.
  for (const id of [...CASE_FIELDS, ...SWEEP_FIELDS]) $(id).addEventListener("focus", (e) => e.target.select());
  // A plot is exported as it is once the curves of the last Loop are drawn.
  for (const id of PLOTS) {
    $(id + "-png").addEventListener("click", () => exportPlot(id, "png", curvesDone()));
    $(id + "-svg").addEventListener("click", () => exportPlot(id, "svg", curvesDone()));
  }
  $("record-file").addEventListener("change", readRecord);
  $("fit").addEventListener("click", fit);
  $("use-parameters").addEventListener("click", useParameters);
  $("response").addEventListener("click", caseResponse);
  $("download-response").addEventListener("click", downloadResponse);
  $("material-form").addEventListener("submit", (event) => {
    event.preventDefault();
    if (!isBusy()) readMaterial();
  });
  $("copy-materials").addEventListener("click", copyMaterials);
}

async function main() {
  wire();
  for (const id of ["plot-de", "plot-xieq", "plot-za"]) showEmpty(id, "Run a Loop to draw its curves.");
  showEmpty("plot-loop", "Solve to draw the loop.");
  showEmpty("plot-record", "Open a record to draw it.");
  const gammaGiven = readQuery();
  relabelLoopIntegrals();
  if (gammaGiven) followGamma();
  // The window starts with the focus on Solve, its Tab order going on to
  // γ; the page keeps its reading order, so Tab begins at γ.
  await solve();
  // The engine's code is compiled function by function as it is first
  // called (and tiered up as it gets hot): a first Loop paid some 20 ms for
  // that. One sweep of each arithmetic, its table thrown away, pays it now.
  await engine.batch([["sweep", "--accurate"], ["sweep"]]);
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
