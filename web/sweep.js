// Loop: quorix-cli sweep's table as it grows, the progress, Stop, the
// table in the page, the download of its bytes, and the three curves.
import { engine } from "./engine.js";
import { $, SWEEP_FIELDS, betaFollowed, caseOptions, fieldText, option, queryOfFields, setBusy,
  writeQuery } from "./fields.js";
import { baseOption, nextFrame, show, showEmpty } from "./charts.js";
import { grouped, refusalText, sweepEnd } from "./replies.js";

// The rows the page's table shows; the download holds them all. The first
// TABLE_FIRST (more than its box shows at once) come in the frame that ends
// the Loop, the rest after that frame is painted: the layout of a thousand
// cells took as long as the sweep itself several times over.
const TABLE_ROWS = 1000;
const TABLE_FIRST = 25;
// Points a sweep's curve is drawn with at most (evenly thinned, the last
// row kept), as the Plots window thins a long sweep.
const CURVE_POINTS = 10000;

// The three curves of a sweep, from the numbers of its table.
async function drawSweep(curves) {
  const plots = [
    ["plot-de", "DE", "DE", "#143ca0"],
    ["plot-xieq", "XiEq", "XiEq = ξeq", "#d25014"],
    ["plot-za", "Za", "Za", "#1e8c3c"],
  ];
  for (const [id, key, name, colour] of plots) {
    const data = curves.filter((row) => Number.isFinite(row[key])).map((row) => [row.u, row[key]]);
    if (data.length === 0) {
      await showEmpty(id, "The last Loop gave no rows: its range holds no amplitude.");
      continue;
    }
    const option = baseOption(name + " against Umax/Uy, " + grouped(curves.rows) + " row" +
      (curves.rows === 1 ? "" : "s"), "Umax/Uy", name);
    option.series = [{ name, type: "line", data, showSymbol: data.length === 1, lineStyle: { color: colour },
      itemStyle: { color: colour } }];
    await show(id, option);
  }
}


let sweep = null;       // the sweep running: {bytes, size, rows}
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

function showProgress(written, total) {
  const bar = $("progress");
  if (total > 0) {
    bar.max = total;
    bar.value = Math.min(written, total);
  } else {
    bar.removeAttribute("value");
  }
  $("progress-text").textContent = grouped(written) + " of " + (total >= 0 ? grouped(total) : "?") + " rows";
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

// The table in the page (the first rows), the download, and the curves
// after the next frame. uy is the number Uy reads as.
function showTable(bytes, uy) {
  const text = new TextDecoder().decode(bytes);
  const lines = text.split("\r\n");
  lines.pop();  // after the last CR LF
  const header = lines.length > 0 ? lines[0].split("\t") : [];
  const rows = lines.slice(1);
  // One innerHTML of escaped cells: a node per cell through the DOM's calls
  // cost more than the sweep itself for the default hundred rows.
  const rowsHtml = (from, to) => rows.slice(from, to)
    .map((line) => "<tr><td>" + line.split("\t").map(escaped).join("</td><td>") + "</td></tr>").join("");
  const table = $("sweep-table");
  const shown = Math.min(rows.length, TABLE_ROWS);
  table.innerHTML = header.length === 0 ? "" : "<thead><tr>" +
    header.map((name) => '<th scope="col">' + escaped(name) + "</th>").join("") + "</tr></thead><tbody>" +
    rowsHtml(0, TABLE_FIRST) + "</tbody>";
  // aria-busy until every row is there.
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
  $("sweep-note").textContent = rows.length > TABLE_ROWS
    ? "The first " + grouped(TABLE_ROWS) + " of " + grouped(rows.length) + " rows; results.out holds them all."
    : grouped(rows.length) + " row" + (rows.length === 1 ? "" : "s") + ".";

  if (downloadUrl) URL.revokeObjectURL(downloadUrl);
  downloadUrl = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  const link = $("download");
  link.href = downloadUrl;
  link.removeAttribute("aria-disabled");

  curvesDrawn = Promise.all([curvesDrawn, tableFilled]).then(nextFrame).then(() => drawSweep(curvesOf(header, rows, uy)))
    .then(() => performance.mark("quorix:curves"), () => {});
}

// The curves of a sweep's table: the columns of Umax/Uy, Za, Fa and DE;
// XiEq = DE/(2π·Fa·Umax) with Umax = Umax/Uy · Uy, as the Plots window
// derives it.
function curvesOf(header, rows, uy) {
  const column = (name) => header.indexOf(name);
  const [cu, cza, cfa, cde] = ["Umax/Uy", "Za", "Fa", "DE"].map(column);
  const stride = Math.max(1, Math.ceil(rows.length / CURVE_POINTS));
  const curves = [];
  for (let i = 0; i < rows.length; ++i) {
    if (i % stride !== 0 && i !== rows.length - 1) continue;
    const cells = rows[i].split("\t").map(Number);
    const u = cells[cu];
    curves.push({ u, DE: cells[cde], Za: cells[cza], XiEq: cells[cde] / (2 * Math.PI * cells[cfa] * u * uy) });
  }
  curves.rows = rows.length;
  return curves;
}

function clearProgress() {
  $("progress").max = 1;
  $("progress").value = 0;
  $("progress-text").textContent = "";
}

// The running sweep's table as it grows: its chunks, the lines in them and
// the row count the sweep will have (−1 until known).
function startRunning() {
  const running = { chunks: [], rows: 0, total: -1, shown: false };
  // The header is a line too.
  running.progress = () => showProgress(Math.max(0, running.rows - 1), running.total);
  running.onChunk = (chunk, total) => {
    running.total = total;
    running.chunks.push(chunk);
    running.rows += countLines(chunk);
    if (running.shown) running.progress();
  };
  return running;
}

// The sweep's end: its table (a refusal after the rows written is no row),
// and its refusal under Loop. A sweep that failed before its first byte
// leaves the last table alone, as the window leaves results.out, and the
// progress empty: the rows it would have had are no count of anything
// written.
function sweepEnded(running, reply) {
  const { table, refusal } = sweepEnd(completeBytes(running.chunks));
  performance.mark("quorix:rows");
  if (table.length > 0) {
    running.rows = countLines(table);
    running.progress();
    showTable(table, reply.numbers[0]);
  }
  if (reply.status !== 0) {
    $("sweep-message").textContent = refusalText(refusal);
    if (table.length === 0) clearProgress();
  }
}

// A sweep stopped (its worker ended): the complete rows it had written.
async function sweepStopped(running, uyAtClick) {
  const bytes = completeBytes(running.chunks);
  const written = Math.max(0, countLines(bytes) - 1);
  $("sweep-message").textContent = "Stopped after " + grouped(written) + " of " +
    (running.total >= 0 ? grouped(running.total) : "?") + " rows: the table holds the complete rows.";
  // A worker ended mid-sweep gave no Uy: the worker started in its place
  // reads it.
  if (bytes.length > 0) {
    const { numbers } = await engine.batch([], { parse: [uyAtClick] });
    showTable(bytes, numbers[0]);
  }
}

export async function runSweep() {
  if (sweep) return;
  setBusy(1);
  $("sweep-message").textContent = "";
  await betaFollowed();
  const range = Object.fromEntries(SWEEP_FIELDS.map((id) => [id, fieldText(id)]));
  const args = ["sweep", "--json", ...caseOptions(false), ...option("from"), ...option("to"), ...option("step")];
  // The address is written at the end, of the fields as they were at the
  // click.
  const query = queryOfFields();
  const running = startRunning();
  sweep = running;
  // Stop and the progress appear once the sweep has run for a tenth of a
  // second: one that ends sooner draws no frame until its table (a frame
  // drawn meanwhile kept its answer waiting).
  const reveal = setTimeout(() => {
    running.shown = true;
    $("stop").disabled = false;
    running.progress();
  }, 100);
  // Uy's number comes with the sweep (the curves' ξeq needs it), of Uy's
  // text at the click, as the arguments are.
  const uyAtClick = fieldText("uy");
  try {
    const reply = await engine.sweep(args, range, { parse: [uyAtClick], onChunk: running.onChunk });
    clearTimeout(reveal);
    sweepEnded(running, reply);
  } catch (error) {
    clearTimeout(reveal);
    if (error.stopped) await sweepStopped(running, uyAtClick);
    else $("sweep-message").textContent = error.message;
  } finally {
    sweep = null;
    $("stop").disabled = true;
    setBusy(-1);
    writeQuery(query);
    performance.mark("quorix:loop-done");
  }
}

export function stopSweep() {
  if (!sweep) return;
  engine.restart();
}

