// Run before the page's modules, as a classic script, which a browser runs
// also for a page opened from a file: there it refuses the modules and the
// engine's worker, and the page would stay dead without a word. The note
// says how to serve the page instead (main.js shows it too when the
// engine's worker fails to start).
"use strict";
if (location.protocol === "file:") document.getElementById("serve-note").hidden = false;
