// Solve: quorix-cli solve --json's texts in the results' table, the results
// that differ from the exact values, the lines analysis programs write, and
// quorix-cli loop --json's loop drawn. A change of the case solves it again
// (a pause in typing, a choice at once); meanwhile what is shown is greyed,
// and a case the command line refuses clears it: no result stands under
// fields it was not computed from.
import { engine } from "./engine.js";
import { $, CASE_FIELDS, betaFollowed, busyWith, caseCaption, caseOptions, clearMarks, fieldText, followGamma,
  inputsKey, markField, queryOfFields, say, writeQuery } from "./fields.js";
import { baseOption, loadCharts, show, showEmpty } from "./charts.js";
import { RESULT_NAMES, answerOf, fieldRefusal, flaggedResults, percentText, refusalText, resultFlagsText,
  resultRows, roundTrip } from "./replies.js";
import { showMaterials } from "./materials.js";
import { markLoopStale } from "./sweep.js";

// The pause in typing after which the case is solved again.
export const TYPING_PAUSE = 300;

// inputsKey(true) of the results shown; null when none are.
let shownKey = null;
// What runs after each Solve, refused or not (the record's response).
const solvedHooks = [];
export const afterSolve = (hook) => solvedHooks.push(hook);

// Greys the results, their lines and the loop while the fields differ from
// the case they were computed from (until the Solve of the new case).
export function markResultsStale() {
  const stale = shownKey !== null && shownKey !== inputsKey(true);
  for (const id of ["results-table", "materials", "figure-loop"]) $(id).classList.toggle("stale", stale);
  $("results-table").setAttribute("aria-busy", String(stale));
}

// The results as the engine wrote them, captions as the window shows them;
// beside a result that differs from its exact value, the mark and the exact
// value's text.
function showResults(answer) {
  for (const { name, caption, text } of resultRows(answer)) {
    $("caption-" + name).textContent = caption;
    $("result-" + name).textContent = text;
  }
  const flags = flaggedResults(answer);
  for (const name of RESULT_NAMES) {
    const flag = flags.find((f) => f.name === name);
    $("result-" + name).classList.toggle("flagged", Boolean(flag));
    const cell = $("exact-" + name);
    cell.replaceChildren();
    if (!flag) continue;
    const mark = document.createElement("span");
    mark.setAttribute("aria-hidden", "true");
    mark.textContent = "⚠ ";
    const words = document.createElement("span");
    words.className = "visually-hidden";
    words.textContent = "differs from the exact value; ";
    cell.append(mark, words, flag.exactText === null ? "no exact value" : "exact: " + flag.exactText);
  }
  $("results-flags").textContent = resultFlagsText(flags, answer.check_bound);
  // ξeq read in percent beside its fraction: the same digits, the point moved.
  const percent = percentText($("result-XiEq").textContent);
  $("unit-XiEq").textContent = percent === null ? "fraction" : percent + " %";
  showMaterials(answer.material_lines || []);
}

// Nothing shown: the case was refused (why, in `reason`).
function clearResults(reason) {
  shownKey = null;
  for (const name of RESULT_NAMES) {
    $("result-" + name).textContent = "";
    $("result-" + name).classList.remove("flagged");
    $("exact-" + name).replaceChildren();
  }
  $("results-flags").textContent = "";
  $("unit-XiEq").textContent = "fraction";
  showMaterials([]);
  markResultsStale();
  return showEmpty("plot-loop", "No loop: " + reason);
}

// A refused case: the field it names marked, the reason under Solve, and
// nothing computed.
function refused(answer) {
  const field = fieldRefusal(answer);
  if (field) markField(field.field, field.text);
  const reason = field ? field.text : refusalText(answer, { naming: true });
  say("message", "Nothing computed: " + reason, { error: true });
  return clearResults(reason);
}

// One Solve. It holds no button: a Loop or a material line asked for
// meanwhile goes to the engine after it.
async function solveOnce() {
  try {
    await betaFollowed();
    // What the results will be shown under: the fields as read now.
    const key = inputsKey(true);
    const drawn = { umax: fieldText("umax"), caption: caseCaption(), query: queryOfFields() };
    const options = caseOptions(true);
    // A fit or a Loop holds the engine: the Solve waits for it, and says so.
    if (busyWith()) say("message", "The Solve waits for " + busyWith() + " to end (or its Stop).");
    // The loop and Uy, Fy (its units) come in the same message as the
    // results: it is drawn only when the case solves.
    const { replies: [reply, loop], numbers: [uy, fy] } = await engine.batch(
      [["solve", "--json", "--as", "all", ...options], ["loop", "--json", ...options]],
      { parse: [fieldText("uy"), fieldText("fy")] });
    loadCharts();
    const answer = answerOf(reply);
    clearMarks(CASE_FIELDS);
    if (reply.status !== 0 || answer === null) {
      await refused(answer);
      return;
    }
    showResults(answer);
    shownKey = key;
    markResultsStale();
    say("message", "");
    performance.mark("quorix:solved");
    await drawLoop(loop, uy, fy, drawn);
    writeQuery(drawn.query);
  } catch (error) {
    loadCharts();
    if (error.stopped) throw error;
    say("message", "Nothing computed: " + error.message, { error: true });
    await clearResults(error.message);
  }
}

// Solves the case in the fields now; a Solve asked for while one runs
// comes after it, once, with the fields as they are then. The promise
// settles when the fields' case is shown (or refused).
let running = null;
let again = false;
let timer = 0;
export function solve() {
  clearTimeout(timer);
  if (running) {
    again = true;
    return running;
  }
  running = (async () => {
    try {
      do {
        again = false;
        try {
          await solveOnce();
        } catch (error) {
          again = true;  // stopped with a Loop (its worker ended): asked again of the new one
        }
        for (const hook of solvedHooks) await hook().catch(() => {});
      } while (again);
    } finally {
      running = null;
    }
  })();
  return running;
}

// A Solve after `delay` ms, unless another change comes first.
export function requestSolve(delay) {
  clearTimeout(timer);
  timer = setTimeout(solve, delay);
}

// n, γ, α, Fy, Uy (numbers) into the fields, each as the shortest text that
// reads back as the same double (so the fields hold the very case a
// material line or a fit gave), and a Solve.
export async function solveCase(c) {
  for (const id of ["n", "gamma", "alpha", "fy", "uy"]) $(id).value = roundTrip(c[id]);
  followGamma();
  markResultsStale();
  markLoopStale();
  await solve();
}

// The loop of the case just solved (quorix-cli loop --json's reply), in
// units of Uy and Fy as the Plots window draws it: the closed outline, the
// dissipated energy as the enclosed area, the peak (Umax, Fa). Its title
// names the case it was drawn for.
async function drawLoop(reply, uy, fy, drawn) {
  const loop = answerOf(reply);
  if (reply.status !== 0 || loop === null) {
    await showEmpty("plot-loop", "The loop of this case cannot be drawn: " + refusalText(loop, { naming: true }));
    return;
  }
  if (loop.u.length === 0) {
    await showEmpty("plot-loop", "The loop of this case cannot be drawn: it has no cycle.");
    return;
  }
  const points = loop.u.map((u, i) => [u / uy, loop.F[i] / fy]);
  const peak = points.reduce((best, p) => (p[0] > best[0] ? p : best), points[0]);
  const option = baseOption("Hysteresis loop at Umax/Uy = " + drawn.umax, "u (unit of Uy)", "F (unit of Fy)",
    drawn.caption);
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
