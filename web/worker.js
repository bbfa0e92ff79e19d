// The page's engine: quorix-cli compiled to WebAssembly (src/web), run in
// this worker so that the page stays responsive while it computes. The page
// posts {id, type, ...} and gets {id, ...} back; a sweep also posts parts
// before that ({id, part: true, ...}: its table as it grows, the table's
// end, its rows read as numbers). Once, unasked, the worker posts
// {started: true} when its engine is ready, or {failed} when it cannot be.
"use strict";

// The megabyte of WebAssembly is fetched and compiled while the loader
// script below is fetched and run, not after it: the compile starts on the
// first bytes (compileStreaming), and the loader only instantiates it. A
// host that serves .wasm as another type refuses the streaming compile;
// the bytes are then compiled once they are all there.
const wasmUrl = "quorix-web.wasm";
const compiled = WebAssembly.compileStreaming(fetch(wasmUrl, { credentials: "same-origin" })).catch(() =>
  fetch(wasmUrl, { credentials: "same-origin" }).then((response) => {
    if (!response.ok) throw new Error(wasmUrl + ": " + response.status);
    return response.arrayBuffer();
  }).then((bytes) => WebAssembly.compile(bytes)));

importScripts("quorix-web.js");

// The sweep running: its id, its row count, and the bytes of the last
// hand-over, held back until the next: the last goes with the table's end,
// so that a table that ends within one hand-over costs the page a single
// message. While its rows are read as numbers (sweep --jsonl), `curves`
// reads the output instead and its points go to the page as they come.
let stream = null;
const encoder = new TextEncoder();
const decoder = new TextDecoder();

const engineReady = compiled.then((module) => new Promise((resolve, reject) => {
  createQuorixEngine({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance), reject);
      return {};
    },
    // The sweep's bytes since the last hand-over, a view of the engine's
    // memory: copied before it can move or be written again.
    onOutput(bytes) {
      if (stream === null) return;
      if (stream.curves) {
        stream.curves.add(stream.text.decode(bytes, { stream: true }));
        postMessage({ id: stream.id, part: true, curves: stream.curves.take() });
        return;
      }
      if (stream.held) postMessage({ id: stream.id, part: true, chunk: stream.held, total: stream.total });
      stream.held = bytes.slice();
      stream.wrote = true;
    },
    // Nothing of the engine writes to the console: its streams are its own.
    print() {},
    printErr() {},
  }).then(resolve, reject);
}));
// The page's reading of the engine's answers (replies.js, a module of no
// DOM): a sweep's rows are read here, where they are written.
const ready = Promise.all([engineReady, import("./replies.js")]);
// The page learns at once whether the engine can start: a page opened from
// a file, or served without its engine, says so instead of waiting.
ready.then(() => postMessage({ started: true }),
  (error) => postMessage({ failed: "the engine did not load: " + (error && error.message ? error.message : error) }));

function cString(engine, text) {
  const bytes = encoder.encode(text + "\0");
  const pointer = engine._malloc(bytes.length);
  engine.HEAPU8.set(bytes, pointer);
  return pointer;
}

// quorix-cli with these arguments; its exit status, output and messages,
// and with keepBytes its output's bytes as well (a download is those bytes,
// not the text decoded and encoded again).
function run(engine, args, streaming, keepBytes = false) {
  // The arguments one after the other, each ended by its NUL.
  const pointer = cString(engine, args.join("\0"));
  let status;
  try {
    status = engine._quorix_web_run(pointer, args.length, streaming ? 1 : 0);
  } finally {
    engine._free(pointer);
  }
  const bytes = (at, size) => engine.HEAPU8.subarray(at, at + size);
  const out = streaming ? new Uint8Array(0) : bytes(engine._quorix_web_output(), engine._quorix_web_output_size());
  const reply = {
    status,
    out: decoder.decode(out),
    err: decoder.decode(bytes(engine._quorix_web_errors(), engine._quorix_web_errors_size())),
  };
  if (keepBytes) reply.outBytes = out.slice();
  return reply;
}

// The number a field's text reads as (quorix-cli parse), NaN where it reads
// as none: in the worker, so that a command and the numbers it is drawn
// with cost the page one message, not one each.
function parsed(engine, text) {
  const reply = run(engine, ["parse", "--", text.replace(/\0/g, "")], false);
  return reply.status === 0 ? Number(reply.out.trim()) : NaN;
}

// The rows of the sweep from … to … step …, for the progress bar's end; −1
// when the range is one the sweep refuses (it says why itself).
function sweepRows(engine, from, to, step) {
  const texts = [from, to, step].map((t) => cString(engine, t));
  try {
    return engine._quorix_web_sweep_rows(...texts);
  } finally {
    texts.forEach((p) => engine._free(p));
  }
}

// A record goes into the engine's own file system under its name.
function writeFiles(engine, files) {
  for (const file of files || []) {
    try { engine.FS.mkdir("/records"); } catch (e) { /* there already */ }
    engine.FS.writeFile("/records/" + file.name, new Uint8Array(file.bytes));
  }
}

// A Loop. The range is checked first: one of negative amplitudes is refused
// before any row ({status: 2, total, refused}), the texts the command line
// does not take as numbers being left to it. Then the table as it grows
// ({id, part: true, chunk, total}) and its end ({id, part: true, total,
// table: {status, err, chunk}}, the chunk being the rest of the table, or
// none), and, unless it wrote nothing, the same rows as numbers (curveArgs,
// sweep --jsonl) read here as they come ({id, part: true, curves}), the last
// of them with the end: {status, total, curves}.
function sweep(engine, replies, message) {
  const texts = [message.from, message.to, message.step];
  const total = sweepRows(engine, ...texts);
  if (texts.every((text) => run(engine, ["format-plain", "--", text], false).status === 0)) {
    const refused = replies.sweepRangeRefusal(...texts.map((text) => parsed(engine, text)), total);
    if (refused) return { status: 2, total, refused };
  }
  stream = { id: message.id, total, held: null, wrote: false, curves: null };
  try {
    const table = run(engine, message.args, true);
    // Rows, not only a refusal: a sweep refused before its first row has
    // no rows to read again.
    const wrote = stream.wrote || (stream.held !== null && replies.sweepEnd(stream.held).table.length > 0);
    postMessage({ id: message.id, part: true, total, table: { status: table.status, err: table.err, chunk: stream.held } });
    stream.held = null;
    if (!wrote || !message.curveArgs) return { status: table.status, total };
    stream.curves = replies.sweepCurves(total, message.curvePoints);
    stream.text = new TextDecoder();
    const rows = run(engine, message.curveArgs, true);
    stream.curves.add(stream.text.decode());
    return { status: rows.status, total, curves: stream.curves.take() };
  } finally {
    stream = null;
  }
}

function handle([engine, replies], message) {
  switch (message.type) {
    // Commands one after the other, with the numbers of some texts:
    // {replies: [{status, out, err}...], numbers: [...]}; the replies of the
    // runs whose places `bytes` lists have outBytes too.
    case "batch":
      writeFiles(engine, message.files);
      return {
        replies: message.runs.map((args, i) => run(engine, args, false, (message.bytes || []).includes(i))),
        numbers: (message.parse || []).map((text) => parsed(engine, text)),
      };
    case "sweep":
      return sweep(engine, replies, message);
    case "run": {
      writeFiles(engine, message.files);
      return run(engine, message.args, false);
    }
    case "beta": {
      const pointer = cString(engine, message.gamma);
      try {
        return { beta: engine.UTF8ToString(engine._quorix_web_beta(pointer)) };
      } finally {
        engine._free(pointer);
      }
    }
    default:
      throw new Error("unknown request " + message.type);
  }
}

onmessage = (event) => {
  const message = event.data;
  ready.then(
    (started) => {
      try {
        postMessage({ id: message.id, ...handle(started, message) });
      } catch (error) {
        postMessage({ id: message.id, error: String(error && error.message ? error.message : error) });
      }
    },
    (error) => postMessage({ id: message.id, error: "the engine did not load: " + error }),
  );
};
