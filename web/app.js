// Quorix's page: the window's fields and commands, with quorix-cli itself
// (compiled to WebAssembly, worker.js) doing every computation. The page
// passes the fields' texts as the window reads them (--as-typed) and shows
// what the command line prints; it formats no result of its own.
"use strict";

const $ = (id) => document.getElementById(id);

// The nine results and the three derived quantities, in the order
// `quorix-cli solve` prints them.
const RESULT_NAMES = ["Za", "Fha", "Fela", "Fa", "Kcd", "Kda", "DEOverFyUy", "DEOverFhUy", "DE",
  "XiEq", "Ksec", "KsecOverK0"];
const CASE_FIELDS = ["gamma", "n", "alpha", "fy", "uy", "umax"];
const SWEEP_FIELDS = ["from", "to", "step"];
// The option each field gives, and the field's name in a message.
const OPTION_OF = { n: "--n", gamma: "--gamma", beta: "--beta", alpha: "--alpha", fy: "--fy", uy: "--uy",
  umax: "--u", from: "--from", to: "--to", step: "--step" };
const FIELD_NAME = { "--n": "n", "--gamma": "γ", "--beta": "β", "--alpha": "α", "--fy": "Fy", "--uy": "Uy",
  "--u": "Umax/Uy", "--from": "From", "--to": "To", "--step": "Step" };
// The rows the page's table shows; the download holds them all. The first
// TABLE_FIRST (more than its box shows at once) come in the frame that ends
// the Loop, the rest after that frame is painted: the layout of a thousand
// cells took as long as the sweep itself several times over.
const TABLE_ROWS = 1000;
const TABLE_FIRST = 25;
// Points a sweep's curve is drawn with at most (evenly thinned, the last
// row kept), as the Plots window thins a long sweep.
const CURVE_POINTS = 10000;

// ---- The engine in its worker ----------------------------------------

class Engine {
  constructor() {
    this.next = 1;
    this.start();
  }

  start() {
    this.pending = new Map();
    this.worker = new Worker("worker.js");
    this.worker.onmessage = (event) => {
      const reply = event.data;
      const request = this.pending.get(reply.id);
      if (!request) return;
      // A sweep's table as it grows comes before its end.
      if (reply.part) {
        request.onPart(reply);
        return;
      }
      this.pending.delete(reply.id);
      if (reply.error) request.reject(new Error(reply.error));
      else request.resolve(reply);
    };
    this.worker.onerror = (event) => {
      event.preventDefault();
      for (const request of this.pending.values()) request.reject(new Error(event.message || "the engine failed"));
      this.pending.clear();
    };
  }

  request(message, onPart = () => {}) {
    const id = this.next++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, onPart });
      this.worker.postMessage({ id, ...message });
    });
  }

  // quorix-cli with these arguments: {status, out, err}.
  run(args, { files = [] } = {}) {
    return this.request({ type: "run", args, files });
  }

  // Several commands and the numbers of some texts in one message: a message
  // costs a task on each side, and the page's main thread may be busy (a
  // frame, a chart) when the answer comes. {replies, numbers}.
  // The replies of the runs at the places `bytes` lists have their output's
  // bytes too (outBytes), for a download.
  batch(runs, { parse = [], files = [], bytes = [] } = {}) {
    return this.request({ type: "batch", runs, parse, files, bytes });
  }

  // A Loop in one message: onChunk(bytes, rows) as the table grows (rows:
  // the sweep's row count), the rest of the table with the end, then
  // {status, err, numbers} (the numbers of `parse`).
  sweep(args, range, { parse = [], onChunk }) {
    return this.request({ type: "sweep", args, ...range, parse }, (part) => onChunk(part.chunk, part.total))
      .then((reply) => {
        if (reply.chunk) onChunk(reply.chunk, reply.total);
        return reply;
      });
  }

  // A running request cannot be interrupted inside the worker: the worker
  // is ended and a new one started. What was pending learns it was stopped.
  restart() {
    this.worker.terminate();
    for (const request of this.pending.values()) request.reject(Object.assign(new Error("stopped"), { stopped: true }));
    this.start();
  }
}

// The worker first: its megabyte of WebAssembly compiles on the other core
// while this thread is free to show the first results. The chart library
// (as large, and needed only once a result is there to draw) is fetched
// from the start (index.html preloads it) but run only after the frame that
// shows the first results: run at once, its half second on this thread
// held up the results' message.
const engine = new Engine();
let wantCharts;
const chartLibrary = new Promise((resolve) => { wantCharts = resolve; })
  .then(() => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0))))
  .then(() => new Promise((resolve, reject) => {
    const script = document.createElement("script");
    script.src = "echarts.min.js";
    script.onload = () => resolve(window.echarts);
    script.onerror = () => reject(new Error("the chart library did not load"));
    document.head.appendChild(script);
  }));

// ---- Texts ------------------------------------------------------------

// The fields' texts go to the command line as --name=TEXT, so that a text
// that looks like an option stays a value (the option parser takes no
// empty text that way: an empty field, which reads as 0, goes as its own
// argument). A NUL cannot be passed at all.
const fieldText = (id) => $(id).value.replace(/\0/g, "");
const option = (id) => (fieldText(id) === "" ? [OPTION_OF[id], ""] : [OPTION_OF[id] + "=" + fieldText(id)]);

function caseOptions(withAmplitude) {
  const args = ["--as-typed", ...option("n"), ...option("gamma"), ...option("beta"), ...option("alpha"),
    ...option("fy"), ...option("uy")];
  if (withAmplitude) args.push(...option("umax"));
  args.push($("mode-direct").checked ? "--direct" : "--complementary");
  if ($("accurate").checked) args.push("--accurate");
  return args;
}

// The first line of quorix-cli's messages that is no warning, without the
// program's name.
function failureText(err) {
  const lines = err.split("\n").filter((l) => l !== "");
  const line = lines.find((l) => !l.startsWith("quorix-cli: warning:")) || lines[0] || "the command failed";
  return line.replace(/^quorix-cli: /, "");
}

// The same naming the field rather than its option ("n: number beyond the
// range of a double: 1e999").
const fieldFailureText = (err) =>
  failureText(err).replace(/^(--[A-Za-z]+)(?=[:=])/, (option) => FIELD_NAME[option] || option);

// A count with its thousands grouped ("4,999,901"), as toLocaleString("en-US")
// writes it; not through Intl itself, whose first use set up its locale
// data for some 30 ms at the first Loop's first progress text.
const grouped = (n) => String(Math.max(0, n)).replace(/\B(?=(\d{3})+$)/g, ",");

function captionsFor(complementary) {
  return { Kcd: complementary ? "Kcd* :" : "Kcd :", Kda: complementary ? "Kda* :" : "Kda :" };
}

function relabelLoopIntegrals() {
  const captions = captionsFor($("mode-complementary").checked);
  $("caption-Kcd").textContent = captions.Kcd;
  $("caption-Kda").textContent = captions.Kda;
}

// β follows γ as the window's field does: FormatPlainNumber(1 − γ) of γ as
// read; a γ beyond the range of a double leaves β as it was. The answers
// come back in order, so the last one is the latest γ.
// A command waits for the β of the last γ typed (betaFollowed) before it
// reads the fields.
let betaFollowed = Promise.resolve();
function followGamma() {
  betaFollowed = engine.request({ type: "beta", gamma: fieldText("gamma") }).then((reply) => {
    if (reply.beta !== "") $("beta").value = reply.beta;
  }, () => {});
}

// ---- The query string -------------------------------------------------

const QUERY = { gamma: "gamma", n: "n", alpha: "alpha", fy: "fy", uy: "uy", u: "umax", from: "from", to: "to",
  step: "step" };

function readQuery() {
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

function queryOfFields() {
  const params = new URLSearchParams();
  for (const [key, id] of Object.entries(QUERY)) params.set(key, $(id).value);
  params.set("mode", $("mode-direct").checked ? "direct" : "complementary");
  if ($("accurate").checked) params.set("accurate", "1");
  return "?" + params.toString();
}

// In a task of its own: the address's change took 10–20 ms, which the end
// of a Solve or a Loop need not wait for.
function writeQuery(query = queryOfFields()) {
  setTimeout(() => {
    if (query !== location.search) history.replaceState(null, "", query);
  }, 0);
}

// ---- Solve ------------------------------------------------------------

// quorix-cli solve's output: the twelve lines of results ("caption : text")
// and the non-empty lines after them.
function resultLines(out) {
  const all = out.split("\n");
  const lines = [];
  let at = 0;
  for (; at < all.length && lines.length < RESULT_NAMES.length; ++at) if (all[at].includes(" : ")) lines.push(all[at]);
  return { lines, after: all.slice(at).filter((l) => l !== "") };
}

let busy = 0;  // commands running; Solve and Loop wait for none
function setBusy(delta) {
  busy += delta;
  for (const id of ["solve", "loop", "read-material"]) $(id).disabled = busy > 0;
}

async function solve() {
  setBusy(1);
  try {
    await betaFollowed;
    const options = caseOptions(true);
    // The loop and Uy, Fy (its units) come in the same message as the
    // results: it is drawn only when the case solves.
    const { replies: [reply, loop], numbers: [uy, fy] } = await engine.batch(
      [["solve", ...options], ["loop", "--json", ...options]], { parse: [fieldText("uy"), fieldText("fy")] });
    wantCharts();
    if (reply.status !== 0) {
      $("message").textContent = "Nothing changed: " + fieldFailureText(reply.err);
      return;
    }
    // "   caption : text", right-aligned captions as the window shows them.
    resultLines(reply.out).lines.forEach((line, i) => {
      const at = line.indexOf(" : ");
      $("caption-" + RESULT_NAMES[i]).textContent = line.slice(0, at + 2).trim();
      $("result-" + RESULT_NAMES[i]).textContent = line.slice(at + 3);
    });
    $("message").textContent = "";
    performance.mark("quorix:solved");
    // The case as analysis programs write it (the lines after the results),
    // asked for once the results are shown: the first run of that code in
    // the engine cost the first Solve some 50 ms.
    engine.run(["solve", ...options, "--as", "all"]).then((written) => {
      if (written.status !== 0) return;
      const materials = resultLines(written.out).after;
      $("materials").textContent = materials.join("\n");
      $("copy-materials").disabled = materials.length === 0;
    }, () => {});
    // The address of the case solved, written after the drawing.
    const query = queryOfFields();
    await drawLoop(loop, uy, fy);
    writeQuery(query);
  } catch (error) {
    wantCharts();
    if (!error.stopped) $("message").textContent = "Nothing changed: " + error.message;
  } finally {
    setBusy(-1);
  }
}

// ---- Plots ------------------------------------------------------------

const charts = {};
const chartOptions = {};

function chartFor(echarts, id) {
  if (!charts[id]) {
    charts[id] = echarts.init($(id), null, { renderer: "canvas" });
    new ResizeObserver(() => charts[id].resize()).observe($(id));
  }
  return charts[id];
}

function baseOption(title, xName, yName) {
  return {
    animation: false,
    backgroundColor: "#ffffff",
    title: { text: title, left: "center", textStyle: { fontSize: 13, fontWeight: "normal" } },
    grid: { left: 64, right: 24, top: 56, bottom: 72, containLabel: false },
    tooltip: { trigger: "axis" },
    legend: { bottom: 0, type: "scroll" },
    xAxis: { type: "value", name: xName, nameLocation: "middle", nameGap: 26, scale: true },
    yAxis: { type: "value", name: yName, nameLocation: "middle", nameGap: 46, scale: true },
  };
}

// Draws once the chart library is there; the promise says when. The
// options replace the last ones whole (a message's title must not keep a
// curve's axes), but the chart itself stays.
function show(id, option) {
  chartOptions[id] = option;
  return chartLibrary.then((echarts) => {
    if (chartOptions[id] === option) chartFor(echarts, id).setOption(option, true);
  });
}

function showEmpty(id, text) {
  return show(id, {
    animation: false,
    backgroundColor: "#ffffff",
    title: { text, left: "center", top: "middle", textStyle: { fontSize: 13, fontWeight: "normal", color: "#555" } },
  });
}

// The loop of the case just solved (quorix-cli loop --json's reply), in
// units of Uy and Fy as the Plots window draws it: the closed outline, the
// dissipated energy as the enclosed area, the peak (Umax, Fa).
async function drawLoop(reply, uy, fy) {
  if (reply.status !== 0) {
    await showEmpty("plot-loop", "The loop of this case cannot be drawn: " + fieldFailureText(reply.err));
    return;
  }
  const loop = JSON.parse(reply.out);
  if (loop.u.length === 0) {
    await showEmpty("plot-loop", "The loop of this case cannot be drawn: it has no cycle.");
    return;
  }
  const points = loop.u.map((u, i) => [u / uy, loop.F[i] / fy]);
  const peak = points.reduce((best, p) => (p[0] > best[0] ? p : best), points[0]);
  const option = baseOption("Hysteresis loop at Umax/Uy = " + fieldText("umax"), "u (unit of Uy)", "F (unit of Fy)");
  option.tooltip = { trigger: "item" };
  option.series = [
    {
      name: "DE, dissipated energy (enclosed area)",
      type: "custom",
      data: [0],
      silent: true,
      renderItem: (params, api) => ({
        type: "polygon",
        shape: { points: points.map((p) => api.coord(p)) },
        style: { fill: "rgba(20, 60, 160, 0.18)" },
      }),
      itemStyle: { color: "rgba(20, 60, 160, 0.18)" },
    },
    {
      name: "F(u), one cycle",
      type: "line",
      data: [...points, points[0]],
      showSymbol: false,
      lineStyle: { color: "#143ca0", width: 2 },
      itemStyle: { color: "#143ca0" },
    },
    {
      name: "Peak (Umax, Fa)",
      type: "scatter",
      data: [peak],
      symbolSize: 9,
      itemStyle: { color: "#c0392b" },
      label: { show: true, position: "left", formatter: "(Umax, Fa)" },
    },
  ];
  option.xAxis.scale = false;
  option.yAxis.scale = false;
  await show("plot-loop", option);
}

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

function download(name, url) {
  const a = document.createElement("a");
  a.href = url;
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
}

// A plot is exported as it is once the curves of the last Loop are drawn.
async function exportPlot(id, type) {
  await curvesDrawn;
  const echarts = await chartLibrary;
  const option = chartOptions[id];
  if (!option) return;
  if (type === "png") {
    download(id + ".png", chartFor(echarts, id).getDataURL({ type: "png", pixelRatio: 2, backgroundColor: "#ffffff" }));
    return;
  }
  // The SVG is drawn afresh by the SVG renderer, at the chart's size.
  const element = $(id);
  const svg = echarts.init(null, null, { renderer: "svg", ssr: true, width: element.clientWidth || 640,
    height: element.clientHeight || 400 });
  svg.setOption(option);
  const url = URL.createObjectURL(new Blob([svg.renderToSVGString()], { type: "image/svg+xml" }));
  svg.dispose();
  download(id + ".svg", url);
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// ---- Loop (the sweep) -------------------------------------------------

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
// The rest of the last Loop's table, after its first rows are painted; a
// newer Loop's table replaces it whole (tableFills counts them).
let tableFilled = Promise.resolve();
let tableFills = 0;

const nextFrame = () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));

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

async function runSweep() {
  if (sweep) return;
  setBusy(1);
  $("sweep-message").textContent = "";
  await betaFollowed;
  const range = Object.fromEntries(SWEEP_FIELDS.map((id) => [id, fieldText(id)]));
  const args = ["sweep", ...caseOptions(false), ...option("from"), ...option("to"), ...option("step")];
  // The address is written at the end, of the fields as they were at the
  // click.
  const query = queryOfFields();
  const running = { chunks: [], rows: 0, total: -1, shown: false };
  sweep = running;
  // The header is a line too.
  const progress = () => showProgress(Math.max(0, running.rows - 1), running.total);
  // Stop and the progress appear once the sweep has run for a tenth of a
  // second: one that ends sooner draws no frame until its table (a frame
  // drawn meanwhile kept its answer waiting).
  const reveal = setTimeout(() => {
    running.shown = true;
    $("stop").disabled = false;
    progress();
  }, 100);
  // Uy's number comes with the sweep (the curves' ξeq needs it), of Uy's
  // text at the click, as the arguments are.
  const uyAtClick = fieldText("uy");
  try {
    const reply = await engine.sweep(args, range, {
      parse: [uyAtClick],
      onChunk: (chunk, total) => {
        running.total = total;
        running.chunks.push(chunk);
        running.rows += countLines(chunk);
        if (running.shown) progress();
      },
    });
    clearTimeout(reveal);
    const bytes = completeBytes(running.chunks);
    performance.mark("quorix:rows");
    // A sweep that failed before its first byte leaves the last table alone,
    // as the window leaves results.out, and the progress empty: the rows it
    // would have had are no count of anything written.
    if (bytes.length > 0) {
      progress();
      showTable(bytes, reply.numbers[0]);
    }
    if (reply.status !== 0) {
      $("sweep-message").textContent = failureText(reply.err);
      if (bytes.length === 0) clearProgress();
    }
  } catch (error) {
    clearTimeout(reveal);
    if (error.stopped) {
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
    } else {
      $("sweep-message").textContent = error.message;
    }
  } finally {
    sweep = null;
    $("stop").disabled = true;
    setBusy(-1);
    writeQuery(query);
    performance.mark("quorix:loop-done");
  }
}

function stopSweep() {
  if (!sweep) return;
  engine.restart();
}

// ---- Measured records -------------------------------------------------

let record = null;  // {name, bytes}
let fitted = null;  // the fit's parameters
// What the record's plot holds: the measured force, the model's response
// with the case's parameters, and with the fitted ones ({u, F} each).
let recordCurves = {};
let responseUrl = null;
// Points a curve of the record's plot is drawn with at most.
const RECORD_POINTS = 20000;

function tableFromTsv(table, text) {
  table.replaceChildren();
  const lines = text.split("\n");
  const rows = [];
  const notes = [];
  for (const line of lines) {
    if (line.includes("\t")) rows.push(line.split("\t"));
    else if (line !== "") notes.push(line);
  }
  if (rows.length > 0) {
    const head = table.createTHead().insertRow();
    for (const name of rows[0]) {
      const th = document.createElement("th");
      th.scope = "col";
      th.textContent = name;
      head.appendChild(th);
    }
    const body = table.createTBody();
    for (const cells of rows.slice(1)) {
      const tr = body.insertRow();
      for (const cell of cells) tr.insertCell().textContent = cell;
    }
  }
  return notes;
}

async function readRecord() {
  const file = $("record-file").files[0];
  for (const id of ["fit", "use-parameters", "response"]) $(id).disabled = true;
  $("fit-report").textContent = "";
  $("record-message").textContent = "";
  $("response-message").textContent = "";
  $("cycles-table").replaceChildren();
  setResponseDownload(null);
  fitted = null;
  record = null;
  recordCurves = {};
  if (!file) {
    await drawRecord();
    return;
  }
  try {
    // A name the engine's file system takes: no slash, nothing odd.
    const name = file.name.replace(/[^A-Za-z0-9._-]/g, "_") || "record";
    record = { name, bytes: await file.arrayBuffer() };
    const reply = await engine.run(["cycles", recordPath()], { files: [record] });
    if (reply.status !== 0) {
      // A displacement history alone has no cycles but has a response.
      $("record-message").textContent = "No cycles: " + failureText(reply.err);
    } else {
      const notes = tableFromTsv($("cycles-table"), reply.out);
      const warnings = reply.err.split("\n").filter((l) => l !== "").map((l) => l.replace(/^quorix-cli: (warning: )?/, ""));
      $("record-message").textContent = [...notes, ...warnings].join(" ");
      $("fit").disabled = false;
    }
  } catch (error) {
    $("record-message").textContent = "The record cannot be read: " + error.message;
    record = null;
    return;
  }
  await caseResponse();
}

const recordPath = () => "/records/" + record.name;

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

function setResponseDownload(bytes) {
  if (responseUrl) URL.revokeObjectURL(responseUrl);
  responseUrl = bytes ? URL.createObjectURL(new Blob([bytes], { type: "text/tab-separated-values" })) : null;
  const link = $("download-response");
  if (responseUrl) {
    link.href = responseUrl;
    link.removeAttribute("aria-disabled");
  } else {
    link.removeAttribute("href");
    link.setAttribute("aria-disabled", "true");
  }
}

// The curve of a response's u and one of its forces, thinned evenly to at
// most RECORD_POINTS points, the last kept.
function curveOf(u, F) {
  const stride = Math.max(1, Math.ceil(u.length / RECORD_POINTS));
  const points = [];
  for (let i = 0; i < u.length; ++i) if (i % stride === 0 || i === u.length - 1) points.push([u[i], F[i]]);
  return points;
}

// The model's response along the record with the case's fields as the
// window reads them; its table is the download.
async function caseResponse() {
  if (!record) return;
  const message = $("response-message");
  message.textContent = "";
  $("response").disabled = true;
  try {
    await betaFollowed;
    const ids = ["n", "gamma", "alpha", "fy", "uy"];
    const { numbers } = await engine.batch([], { parse: ids.map(fieldText) });
    const bad = numbers.findIndex((x) => !Number.isFinite(x));
    if (bad >= 0) {
      message.textContent = "No response: " + FIELD_NAME[OPTION_OF[ids[bad]]] +
        ": number beyond the range of a double: " + fieldText(ids[bad]);
      return;
    }
    const p = Object.fromEntries(ids.map((id, i) => [id, numbers[i]]));
    const { replies: [table, json] } = await engine.batch([responseArgs(p, false), responseArgs(p, true)],
      { files: [record], bytes: [0] });
    // A case the model refuses changes nothing, as a refused Solve.
    if (table.status !== 0) {
      message.textContent = "No response: " + fieldFailureText(table.err);
      return;
    }
    setResponseDownload(table.outBytes);
    const r = JSON.parse(json.out);
    recordCurves.model = curveOf(r.u, r.F);
    if (r.F_measured) recordCurves.measured = curveOf(r.u, r.F_measured);
    await drawRecord();
  } catch (error) {
    if (!error.stopped) message.textContent = "No response: " + error.message;
  } finally {
    $("response").disabled = record === null;
  }
}

// The record as measured and the model's responses along it, in the
// record's own units.
async function drawRecord() {
  const series = [
    ["measured", "Measured", "#777777", 1],
    ["model", "Model, the case's parameters", "#143ca0", 1.5],
    ["fitted", "Fitted model", "#d25014", 1.5],
  ].filter(([key]) => recordCurves[key]).map(([key, name, colour, width]) => ({
    name, type: "line", data: recordCurves[key], showSymbol: false, lineStyle: { color: colour, width },
    itemStyle: { color: colour },
  }));
  if (series.length === 0) {
    await showEmpty("plot-record", record ? "Nothing of this record can be drawn." : "Open a record to draw it.");
    return;
  }
  const option = baseOption(record.name, "u", "F");
  option.series = series;
  await show("plot-record", option);
}

async function fit() {
  if (!record) return;
  $("fit").disabled = true;
  try {
    const path = "/records/" + record.name;
    const { replies: [report, numbers] } = await engine.batch(
      [["fit", "--no-progress", path], ["fit", "--no-progress", "--json", path]], { files: [record] });
    if (report.status !== 0) {
      $("record-message").textContent = "No fit: " + failureText(report.err);
      $("fit-report").textContent = "";
      return;
    }
    const warnings = report.err.split("\n").filter((l) => l !== "").map((l) => l.replace(/^quorix-cli: /, ""));
    $("fit-report").textContent = report.out + (warnings.length ? "\n" + warnings.join("\n") + "\n" : "");
    $("record-message").textContent = "";
    fitted = numbers.status === 0 ? JSON.parse(numbers.out).parameters : null;
    $("use-parameters").disabled = fitted === null;
    delete recordCurves.fitted;
    if (fitted) {
      const response = await engine.run(responseArgs(fitted, true), { files: [record] });
      if (response.status === 0) {
        const r = JSON.parse(response.out);
        recordCurves.fitted = curveOf(r.u, r.F);
      }
    }
    await drawRecord();
  } catch (error) {
    $("record-message").textContent = "No fit: " + error.message;
  } finally {
    $("fit").disabled = false;
  }
}

// n, γ, α, Fy, Uy (numbers) into the fields, as the window's β field shows
// numbers (FormatPlainNumber), and a Solve.
async function solveCase(c) {
  const values = { n: c.n, gamma: c.gamma, alpha: c.alpha, fy: c.fy, uy: c.uy };
  const ids = Object.keys(values);
  const { replies } = await engine.batch(ids.map((id) => ["format-plain", "--", String(values[id])]));
  ids.forEach((id, i) => {
    if (replies[i].status === 0) $(id).value = replies[i].out.replace(/\n$/, "");
  });
  followGamma();
  await solve();
}

// The fitted case into the fields.
async function useParameters() {
  if (fitted) await solveCase(fitted);
}

// ---- Analysis programs ------------------------------------------------

// A material line of an analysis program read into the fields (quorix-cli
// solve --material or --csi-wen maps it onto the case) and solved. CSI's
// link is written as key=value pairs; anything else is taken for an
// OpenSees material, whose reader names what it cannot take.
async function readMaterial() {
  const text = $("material").value.replace(/\0/g, "").trim();
  const message = $("material-message");
  message.textContent = "";
  if (text === "") {
    message.textContent = "Nothing read: the line is empty.";
    return;
  }
  const csi = !/uniaxialMaterial/i.test(text) && /^\s*(k|yield|ratio|exp)\s*=/i.test(text);
  setBusy(1);
  let mapped = null;
  try {
    const reply = await engine.run(["solve", "--json", (csi ? "--csi-wen=" : "--material=") + text]);
    if (reply.status !== 0) {
      message.textContent = "Nothing read: " + failureText(reply.err);
      return;
    }
    mapped = JSON.parse(reply.out).case;
  } catch (error) {
    if (!error.stopped) message.textContent = "Nothing read: " + error.message;
    return;
  } finally {
    setBusy(-1);
  }
  await solveCase(mapped);
}

// The lines onto the clipboard; where the page may not write there (an
// address other than https or the machine's own), they are selected for
// Ctrl+C.
async function copyMaterials() {
  const pre = $("materials");
  try {
    await navigator.clipboard.writeText(pre.textContent);
    $("copy-materials").textContent = "Copied";
    setTimeout(() => { $("copy-materials").textContent = "Copy lines"; }, 1500);
  } catch (error) {
    const range = document.createRange();
    range.selectNodeContents(pre);
    const selection = getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    pre.focus();
  }
}

// ---- Wiring -----------------------------------------------------------

function wire() {
  // On the buttons' clicks, which Enter in a field of their form gives too
  // (its implicit submission clicks the form's button): the form's submit
  // event came a millisecond or two after the click, more than the engine
  // takes for a Solve.
  for (const [form, button, command] of [["case-form", "solve", solve], ["loop-form", "loop", runSweep]]) {
    const start = (event) => {
      event.preventDefault();
      if (busy === 0) command();
    };
    $(button).addEventListener("click", start);
    $(form).addEventListener("submit", start);
  }
  $("stop").addEventListener("click", stopSweep);
  $("gamma").addEventListener("input", followGamma);
  for (const id of ["mode-direct", "mode-complementary"]) $(id).addEventListener("change", relabelLoopIntegrals);
  // Select-all on focus, as the window's text boxes.
  for (const id of [...CASE_FIELDS, ...SWEEP_FIELDS]) $(id).addEventListener("focus", (e) => e.target.select());
  for (const id of ["plot-loop", "plot-de", "plot-xieq", "plot-za", "plot-record"]) {
    $(id + "-png").addEventListener("click", () => exportPlot(id, "png"));
    $(id + "-svg").addEventListener("click", () => exportPlot(id, "svg"));
  }
  $("record-file").addEventListener("change", readRecord);
  $("fit").addEventListener("click", fit);
  $("use-parameters").addEventListener("click", useParameters);
  $("response").addEventListener("click", caseResponse);
  $("material-form").addEventListener("submit", (event) => {
    event.preventDefault();
    if (busy === 0) readMaterial();
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
