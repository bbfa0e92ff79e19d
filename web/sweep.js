// Loop: quorix-cli sweep's table as it grows, the progress, Stop, the
// table in the page, the download of its bytes, and the three curves, drawn
// from the same rows as numbers (sweep --jsonl), never from the table's
// rounded texts. What a Loop shows carries the case it was made with, and
// is greyed once the fields hold another.
import { engine } from "./engine.js";
import { $, SWEEP_FIELDS, betaFollowed, caseCaption, caseOptions, clearMarks, fieldText, followLoopShown, inputsKey,
  markField, option, queryOfFields, say, setBusy, writeQuery } from "./fields.js";
import { baseOption, nextFrame, show, showEmpty } from "./charts.js";
import { fieldRefusal, grouped, joinCurves, refusalText, sweepEnd, sweepFlagsText } from "./replies.js";

// The rows the page's table shows; the download holds them all. The first
// TABLE_FIRST (more than its box shows at once) come in the frame that ends
// the Loop, the rest after that frame is painted: the layout of a thousand
// cells took as long as the sweep itself several times over.
const TABLE_ROWS = 1000;
const TABLE_FIRST = 25;
// Points a sweep's curve is drawn with at most (evenly thinned, the last
// row kept), as the Plots window thins a long sweep.
const CURVE_POINTS = 10000;
const CURVE_FIGURES = ["figure-de", "figure-xieq", "figure-za"];

// The Loop shown: {key (inputsKey of its fields), caption}; null before any.
let shownLoop = null;
// The page's address carries loop=1 while the Loop shown is the fields'.
followLoopShown(() => shownLoop !== null && shownLoop.key === inputsKey(false, true));

// Greys the Loop's table, download and curves while the fields differ from
// those it was made with, and says so.
export function markLoopStale() {
  const stale = shownLoop !== null && shownLoop.key !== inputsKey(false, true);
  for (const id of ["sweep-output", "download", ...CURVE_FIGURES]) $(id).classList.toggle("stale", stale);
  const note = stale
    ? "The fields have changed since this Loop: it shows the case named below; press Loop for the fields' case." : "";
  // Written only when it changes: a live region says it again otherwise.
  if ($("sweep-stale").textContent !== note) $("sweep-stale").textContent = note;
}

// The three curves of a sweep, from its rows' numbers (joinCurves').
async function drawSweep(curves, made, stopped) {
  const plots = [
    ["plot-de", "DE", "DE", "#143ca0"],
    ["plot-xieq", "XiEq", "XiEq = ξeq", "#d25014"],
    ["plot-za", "Za", "Za", "#1e8c3c"],
  ];
  const rows = (stopped ? "the first " : "") + grouped(curves.rows) + " row" + (curves.rows === 1 ? "" : "s") +
    (stopped ? " (stopped)" : "");
  for (const [id, key, name, colour] of plots) {
    const data = curves.UmaxOverUy.map((u, i) => [u, curves[key][i]])
      .filter(([u, value]) => Number.isFinite(u) && Number.isFinite(value));
    if (data.length === 0) {
      await showEmpty(id, stopped ? "The Loop was stopped before its rows were read for the curves."
        : "The last Loop gave no rows: its range holds no amplitude.");
      continue;
    }
    const option = baseOption(name + " against Umax/Uy, " + rows, "Umax/Uy", name, made.caption);
    option.series = [{ name, type: "line", data, showSymbol: data.length === 1, lineStyle: { color: colour },
      itemStyle: { color: colour } }];
    await show(id, option);
  }
}

let sweep = null;       // the sweep running (startRunning's)
let downloadUrl = null;

// Counts the line ends in the bytes received: the rows complete so far.
// indexOf, not a loop over the bytes: the first Loop runs this code before
// the script engine has compiled it, and a byte-by-byte loop there took
// longer than the sweep.
function countLines(chunk) {
  let n = 0;
  for (let at = chunk.indexOf(10); at >= 0; at = chunk.indexOf(10, at + 1)) ++n;
  return n;
}

function showProgress(written, total, what = "") {
  const bar = $("progress");
  if (total > 0) {
    bar.max = total;
    bar.value = Math.min(written, total);
  } else {
    bar.removeAttribute("value");
  }
  $("progress-text").textContent = what + grouped(written) + " of " + (total >= 0 ? grouped(total) : "?") + " rows";
}

// The table's bytes up to the last complete line: what a stopped sweep
// keeps, as quorix-cli keeps the header and complete rows.
function completeBytes(chunks) {
  const size = chunks.reduce((s, c) => s + c.length, 0);
  const all = new Uint8Array(size);
  let at = 0;
  for (const c of chunks) {
    all.set(c, at);
    at += c.length;
  }
  const end = all.lastIndexOf(10) + 1;
  return all.subarray(0, end);
}

const escaped = (text) => text.replace(/[&<>"]/g, (c) => ({ "&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;" })[c]);

// The curves of the last Loop: drawn after the frame that shows its table,
// so that the table (and Loop's end) does not wait for three charts.
let curvesDrawn = Promise.resolve();
export const curvesDone = () => curvesDrawn;
// The rest of the last Loop's table, after its first rows are painted; a
// newer Loop's table replaces it whole (tableFills counts them).
let tableFilled = Promise.resolve();
let tableFills = 0;

// The table's rows in the page: the first at once, the rest after they are
// painted; aria-busy until every row is there.
function fillTable(header, rows) {
  // One innerHTML of escaped cells: a node per cell through the DOM's calls
  // cost more than the sweep itself for the default hundred rows.
  const rowsHtml = (from, to) => rows.slice(from, to)
    .map((line) => "<tr><td>" + line.split("\t").map(escaped).join("</td><td>") + "</td></tr>").join("");
  const table = $("sweep-table");
  const shown = Math.min(rows.length, TABLE_ROWS);
  table.innerHTML = header.length === 0 ? "" : "<thead><tr>" +
    header.map((name) => '<th scope="col">' + escaped(name) + "</th>").join("") + "</tr></thead><tbody>" +
    rowsHtml(0, TABLE_FIRST) + "</tbody>";
  const filling = ++tableFills;
  if (shown > TABLE_FIRST) {
    table.setAttribute("aria-busy", "true");
    tableFilled = tableFilled.then(nextFrame).then(() => {
      if (filling !== tableFills) return;
      table.tBodies[0].insertAdjacentHTML("beforeend", rowsHtml(TABLE_FIRST, shown));
      table.removeAttribute("aria-busy");
    });
  } else {
    table.removeAttribute("aria-busy");
  }
}

// The table in the page (the first rows), the download, and the case they
// belong to; the curves of an earlier Loop are cleared until these come.
function showTable(bytes, made) {
  const lines = new TextDecoder().decode(bytes).split("\r\n");
  lines.pop();  // after the last CR LF
  const header = lines.length > 0 ? lines[0].split("\t") : [];
  const rows = lines.slice(1);
  fillTable(header, rows);
  $("sweep-note").textContent = rows.length > TABLE_ROWS
    ? "The first " + grouped(TABLE_ROWS) + " of " + grouped(rows.length) + " rows; results.out holds them all."
    : grouped(rows.length) + " row" + (rows.length === 1 ? "" : "s") + ".";
  $("sweep-case").textContent = "Loop of " + made.caption + ".";
  $("sweep-flags").textContent = "";
  shownLoop = made;
  markLoopStale();
  for (const id of ["plot-de", "plot-xieq", "plot-za"]) showEmpty(id, "Reading the rows of this Loop for its curves…");

  if (downloadUrl) URL.revokeObjectURL(downloadUrl);
  downloadUrl = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  const link = $("download");
  link.href = downloadUrl;
  link.removeAttribute("aria-disabled");
}

// The curves and the rows that differ from the exact values, from the
// pieces of the rows read as numbers, after the frame that shows the table.
function showCurves(running, stopped) {
  const curves = joinCurves(running.curves);
  const flags = sweepFlagsText(curves.flags);
  $("sweep-flags").textContent = flags && stopped ? "In the first " + grouped(curves.rows) + " rows: " + flags : flags;
  curvesDrawn = Promise.all([curvesDrawn, tableFilled]).then(nextFrame)
    .then(() => drawSweep(curves, running.made, stopped))
    .then(() => performance.mark("quorix:curves"), () => {});
}

function clearProgress() {
  $("progress").max = 1;
  $("progress").value = 0;
  $("progress-text").textContent = "";
}

// A sweep refused: the field it names marked, the reason under Loop.
function sweepRefused(refusal) {
  const field = fieldRefusal(refusal);
  if (field) markField(field.field, field.text);
  say("sweep-message", field ? field.text : refusalText(refusal, { naming: true }), { error: true });
}

// The running sweep: its table's chunks, the lines in them, the row count
// the sweep will have (−1 until known), whether its table has ended and
// was shown, and the pieces of its rows read as numbers.
function startRunning(made) {
  const running = { made, chunks: [], rows: 0, total: -1, shown: false, tableDone: false, shownTable: false,
    curves: [] };
  // The header is a line too.
  running.progress = () => {
    const read = running.curves.length ? running.curves[running.curves.length - 1].rows : 0;
    if (running.tableDone) showProgress(read, running.total, "Curves: ");
    else showProgress(Math.max(0, running.rows - 1), running.total);
  };
  running.onPart = (part) => {
    running.total = part.total ?? running.total;
    if (part.table) {
      tableEnded(running, part.table);
    } else if (part.curves) {
      running.curves.push(part.curves);
    } else {
      running.chunks.push(part.chunk);
      running.rows += countLines(part.chunk);
    }
    if (running.shown) running.progress();
  };
  return running;
}

// The table's end: its table (a refusal after the rows written is no row),
// and its refusal under Loop. A sweep that failed before its first byte
// leaves the last table alone, as the window leaves results.out, and the
// progress empty: the rows it would have had are no count of anything
// written.
function tableEnded(running, end) {
  if (end.chunk) running.chunks.push(end.chunk);
  running.tableDone = true;
  const { table, refusal } = sweepEnd(completeBytes(running.chunks));
  performance.mark("quorix:rows");
  if (table.length > 0) {
    running.rows = countLines(table);
    showProgress(Math.max(0, running.rows - 1), running.total);
    showTable(table, running.made);
    running.shownTable = true;
  }
  if (end.status !== 0) {
    sweepRefused(refusal);
    if (table.length === 0) clearProgress();
  }
  performance.mark("quorix:loop-done");
}

// A sweep stopped (its worker ended): the complete rows it had written, and
// the curves of the rows read as numbers before the stop (none while the
// table was still growing).
function sweepStopped(running) {
  if (!running.tableDone) {
    const bytes = completeBytes(running.chunks);
    const written = Math.max(0, countLines(bytes) - 1);
    say("sweep-message", "Stopped after " + grouped(written) + " of " +
      (running.total >= 0 ? grouped(running.total) : "?") + " rows: the table holds the complete rows.");
    if (bytes.length > 0) showTable(bytes, running.made);
  } else {
    say("sweep-message", "Stopped while its rows were read for the curves: they show the rows read.");
  }
  if (running.tableDone || running.chunks.length > 0) showCurves(running, true);
}

// The Loop's case in words: the case, then the range.
const loopCaption = () => caseCaption() + "; Umax/Uy from " + fieldText("from") + " to " + fieldText("to") +
  " step " + fieldText("step");

export async function runSweep() {
  if (sweep) return;
  setBusy(1, "the Loop");
  say("sweep-message", "");
  clearMarks(SWEEP_FIELDS);
  await betaFollowed();
  const range = Object.fromEntries(SWEEP_FIELDS.map((id) => [id, fieldText(id)]));
  const options = [...caseOptions(false), ...option("from"), ...option("to"), ...option("step")];
  // What the Loop is made with, its caption, and the address written at
  // the end: the fields as they are at the click.
  const made = { key: inputsKey(false, true), caption: loopCaption(), query: queryOfFields({ loop: true }) };
  const running = startRunning(made);
  sweep = running;
  // Stop and the progress appear once the sweep has run for a tenth of a
  // second: one that ends sooner draws no frame until its table (a frame
  // drawn meanwhile kept its answer waiting).
  const reveal = setTimeout(() => {
    running.shown = true;
    $("stop").disabled = false;
    running.progress();
  }, 100);
  try {
    const reply = await engine.sweep(["sweep", "--json", ...options], range,
      { curveArgs: ["sweep", "--jsonl", "--json", ...options], curvePoints: CURVE_POINTS, onPart: running.onPart });
    if (reply.refused) {
      sweepRefused(reply.refused);
      clearProgress();
    } else if (reply.curves && running.shownTable) {
      running.curves.push(reply.curves);
      showCurves(running, false);
    }
  } catch (error) {
    if (error.stopped) sweepStopped(running);
    else say("sweep-message", error.message, { error: true });
  } finally {
    clearTimeout(reveal);
    sweep = null;
    $("stop").disabled = true;
    setBusy(-1, "the Loop");
    writeQuery(shownLoop === made ? made.query : queryOfFields());
  }
}

export function stopSweep() {
  if (!sweep) return;
  engine.restart();
}
