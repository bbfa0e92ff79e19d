// The page's engine: quorix-cli compiled to WebAssembly (src/web), run in
// this worker so that the page stays responsive while it computes. The page
// posts {id, type, ...} and gets {id, ...} back; a long sweep also posts its
// table as it grows ({id, part: true, chunk, total}) before that.
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
// hand-over, held back until the next: the last goes with the sweep's
// answer, so that a sweep that ends within one hand-over costs the page a
// single message.
let stream = null;
const encoder = new TextEncoder();
const decoder = new TextDecoder();

const ready = compiled.then((module) => new Promise((resolve, reject) => {
  createQuorixEngine({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance), reject);
      return {};
    },
    // The sweep's bytes since the last hand-over, a view of the engine's
    // memory: copied before it can move or be written again.
    onOutput(bytes) {
      if (stream === null) return;
      if (stream.held) postMessage({ id: stream.id, part: true, chunk: stream.held, total: stream.total });
      stream.held = bytes.slice();
    },
    // Nothing of the engine writes to the console: its streams are its own.
    print() {},
    printErr() {},
  }).then(resolve, reject);
}));

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

function handle(engine, message) {
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
    // A Loop: the table as it grows ({id, part: true, chunk, total}), then
    // {status, err, numbers, total, chunk}, the chunk being the rest of the
    // table (or none).
    case "sweep": {
      const total = sweepRows(engine, message.from, message.to, message.step);
      const numbers = (message.parse || []).map((text) => parsed(engine, text));
      stream = { id: message.id, total, held: null };
      try {
        const reply = { ...run(engine, message.args, true), numbers, total };
        if (stream.held) reply.chunk = stream.held;
        return reply;
      } finally {
        stream = null;
      }
    }
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
    (engine) => {
      try {
        postMessage({ id: message.id, ...handle(engine, message) });
      } catch (error) {
        postMessage({ id: message.id, error: String(error && error.message ? error.message : error) });
      }
    },
    (error) => postMessage({ id: message.id, error: "the engine did not load: " + error }),
  );
};
