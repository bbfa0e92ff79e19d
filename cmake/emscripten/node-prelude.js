// Runs before the program's own start-up code under Node.js. Emscripten
// 3.1.6 loads the .wasm with fetch() whenever a global fetch exists, as in a
// browser; Node.js 18 and later have one, which cannot read a file path, and
// the start fails. Without it the loader reads the file from disk.
if (typeof process === "object" && typeof process.versions === "object" && process.versions.node) {
  delete globalThis.fetch;
}
