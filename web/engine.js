// The engine, quorix-cli compiled to WebAssembly, in its worker
// (worker.js): requests go out as messages, answers come back as promises.
// The worker is started first: its megabyte of WebAssembly compiles on the
// other core while the page's thread is free to show the first results.

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

export const engine = new Engine();
