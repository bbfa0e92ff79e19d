// Solve: quorix-cli solve --json's texts in the results' table, the lines
// analysis programs write, and quorix-cli loop --json's loop drawn.
import { engine } from "./engine.js";
import { $, betaFollowed, caseOptions, fieldText, followGamma, queryOfFields, setBusy, writeQuery } from "./fields.js";
import { baseOption, loadCharts, show, showEmpty } from "./charts.js";
import { answerOf, materialText, refusalText, resultRows } from "./replies.js";

// The results as the engine wrote them, captions as the window shows them.
function showResults(answer) {
  for (const { name, caption, text } of resultRows(answer)) {
    $("caption-" + name).textContent = caption;
    $("result-" + name).textContent = text;
  }
  const lines = materialText(answer);
  $("materials").textContent = lines;
  $("copy-materials").disabled = lines === "";
}

export async function solve() {
  setBusy(1);
  try {
    await betaFollowed();
    const options = caseOptions(true);
    // The loop and Uy, Fy (its units) come in the same message as the
    // results: it is drawn only when the case solves.
    const { replies: [reply, loop], numbers: [uy, fy] } = await engine.batch(
      [["solve", "--json", "--as", "all", ...options], ["loop", "--json", ...options]],
      { parse: [fieldText("uy"), fieldText("fy")] });
    loadCharts();
    const answer = answerOf(reply);
    if (reply.status !== 0 || answer === null) {
      $("message").textContent = "Nothing changed: " + refusalText(answer, { naming: true });
      return;
    }
    showResults(answer);
    $("message").textContent = "";
    performance.mark("quorix:solved");
    // The address of the case solved, written after the drawing.
    const query = queryOfFields();
    await drawLoop(loop, uy, fy);
    writeQuery(query);
  } catch (error) {
    loadCharts();
    if (!error.stopped) $("message").textContent = "Nothing changed: " + error.message;
  } finally {
    setBusy(-1);
  }
}

// n, γ, α, Fy, Uy (numbers) into the fields, as the window's β field shows
// numbers (FormatPlainNumber), and a Solve.
export async function solveCase(c) {
  const values = { n: c.n, gamma: c.gamma, alpha: c.alpha, fy: c.fy, uy: c.uy };
  const ids = Object.keys(values);
  const { replies } = await engine.batch(ids.map((id) => ["format-plain", "--", String(values[id])]));
  ids.forEach((id, i) => {
    if (replies[i].status === 0) $(id).value = replies[i].out.replace(/\n$/, "");
  });
  followGamma();
  await solve();
}

// The loop of the case just solved (quorix-cli loop --json's reply), in
// units of Uy and Fy as the Plots window draws it: the closed outline, the
// dissipated energy as the enclosed area, the peak (Umax, Fa).
async function drawLoop(reply, uy, fy) {
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

