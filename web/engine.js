// The engine, quorix-cli compiled to WebAssembly, in its worker
// (worker.js): requests go out as messages, answers come back as promises.
// The worker is started first: its megabyte of WebAssembly compiles on the
// other core while the page's thread is free to show the first results.

class Engine {
  constructor() {
    this.next = 1;
    // Settles once the first worker has its engine, or could not get it (a
    // page opened from a file, a site without its engine): main.js then
    // says how to serve the page.
    this.started = new Promise((resolve, reject) => {
      this.startedOrFailed = { resolve, reject };
    });
    this.start();
  }

  start() {
    this.pending = new Map();
    try {
      this.worker = new Worker("worker.js");
    } catch (error) {
      // A browser that refuses the worker outright (a page from a file).
      this.startedOrFailed.reject(error);
      this.worker = { postMessage: () => {}, terminate: () => {} };
      return;
    }
    this.worker.onmessage = (event) => {
      const reply = event.data;
      if (reply.started) this.startedOrFailed.resolve();
      if (reply.failed) this.startedOrFailed.reject(new Error(reply.failed));
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
      this.startedOrFailed.reject(new Error(event.message || "the engine's worker did not start"));
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

  // A Loop in one message: onPart(part) as the table grows ({chunk,
  // total}), at its end ({table, total}) and as its rows are read as
  // numbers ({curves}); then the end ({status, total, curves} or a range
  // refused: {refused}). See worker.js.
  sweep(args, range, { curveArgs, curvePoints, onPart }) {
    return this.request({ type: "sweep", args, ...range, curveArgs, curvePoints }, onPart);
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
