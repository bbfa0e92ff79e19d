// The page's engine: quorix-cli compiled to WebAssembly (src/web), run in
// this worker so that the page stays responsive while it computes. The page
// posts {id, type, ...} and gets {id, ...} back; a streaming run (the
// sweep) also posts {id, chunk} as its output grows.
"use strict";

importScripts("quorix-web.js");

let streamId = null;
const encoder = new TextEncoder();
const decoder = new TextDecoder();

const ready = createQuorixEngine({
  // The sweep's bytes since the last hand-over, a view of the engine's
  // memory: copied before it can move or be written again.
  onOutput(bytes) {
    if (streamId !== null) postMessage({ id: streamId, chunk: bytes.slice() });
  },
  // Nothing of the engine writes to the console: its streams are its own.
  print() {},
  printErr() {},
});

function cString(engine, text) {
  const bytes = encoder.encode(text + "\0");
  const pointer = engine._malloc(bytes.length);
  engine.HEAPU8.set(bytes, pointer);
  return pointer;
}

// quorix-cli with these arguments; its exit status, output and messages.
function run(engine, args, streaming) {
  const bytes = encoder.encode(args.map((a) => a + "\0").join(""));
  const pointer = engine._malloc(Math.max(bytes.length, 1));
  engine.HEAPU8.set(bytes, pointer);
  let status;
  try {
    status = engine._quorix_web_run(pointer, args.length, streaming ? 1 : 0);
  } finally {
    engine._free(pointer);
  }
  const text = (at, size) => decoder.decode(engine.HEAPU8.subarray(at, at + size));
  return {
    status,
    out: streaming ? "" : text(engine._quorix_web_output(), engine._quorix_web_output_size()),
    err: text(engine._quorix_web_errors(), engine._quorix_web_errors_size()),
  };
}

function handle(engine, message) {
  switch (message.type) {
    case "run": {
      // A record goes into the engine's own file system under its name.
      for (const file of message.files || []) {
        try { engine.FS.mkdir("/records"); } catch (e) { /* there already */ }
        engine.FS.writeFile("/records/" + file.name, new Uint8Array(file.bytes));
      }
      streamId = message.stream ? message.id : null;
      try {
        return run(engine, message.args, message.stream);
      } finally {
        streamId = null;
      }
    }
    case "beta": {
      const pointer = cString(engine, message.gamma);
      try {
        return { beta: engine.UTF8ToString(engine._quorix_web_beta(pointer)) };
      } finally {
        engine._free(pointer);
      }
    }
    case "rows": {
      const texts = [message.from, message.to, message.step].map((t) => cString(engine, t));
      try {
        return { rows: engine._quorix_web_sweep_rows(...texts) };
      } finally {
        texts.forEach((p) => engine._free(p));
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
