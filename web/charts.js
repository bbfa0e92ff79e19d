// The plots: the chart library, loaded once the first results are shown,
// each plot's chart and last options, and the PNG and SVG exports.
import { $ } from "./fields.js";

// The chart library (as large as the engine, and needed only once a result
// is there to draw) is fetched from the start (index.html preloads it) but
// run only after the frame that shows the first results: run at once, its
// half second on this thread held up the results' message.
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

// Lets the chart library run (after the next frame).
export const loadCharts = () => wantCharts();

export const nextFrame = () => new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));

const charts = {};
const chartOptions = {};

function chartFor(echarts, id) {
  if (!charts[id]) {
    charts[id] = echarts.init($(id), null, { renderer: "canvas" });
    new ResizeObserver(() => charts[id].resize()).observe($(id));
  }
  return charts[id];
}

// A plot's options; `caseText`, under its title, names the case it was drawn
// for, so that the plot (and its PNG or SVG) says what it belongs to.
export function baseOption(title, xName, yName, caseText = "") {
  return {
    animation: false,
    backgroundColor: "#ffffff",
    title: { text: title, subtext: caseText, left: "center", textStyle: { fontSize: 13, fontWeight: "normal" },
      itemGap: 4, subtextStyle: { fontSize: 11, lineHeight: 14, color: "#444", width: 440, overflow: "break" } },
    grid: { left: 64, right: 24, top: caseText ? 84 : 56, bottom: 72, containLabel: false },
    tooltip: { trigger: "axis" },
    legend: { bottom: 0, type: "scroll" },
    xAxis: { type: "value", name: xName, nameLocation: "middle", nameGap: 26, scale: true },
    yAxis: { type: "value", name: yName, nameLocation: "middle", nameGap: 46, scale: true },
  };
}

// Draws once the chart library is there; the promise says when. The
// options replace the last ones whole (a message's title must not keep a
// curve's axes), but the chart itself stays.
export function show(id, option) {
  chartOptions[id] = option;
  return chartLibrary.then((echarts) => {
    if (chartOptions[id] === option) chartFor(echarts, id).setOption(option, true);
  });
}

export function showEmpty(id, text) {
  return show(id, {
    animation: false,
    backgroundColor: "#ffffff",
    title: { text, left: "center", top: "middle", textStyle: { fontSize: 13, fontWeight: "normal", color: "#555" } },
  });
}

export function download(name, url) {
  const a = document.createElement("a");
  a.href = url;
  a.download = name;
  document.body.appendChild(a);
  a.click();
  a.remove();
}

// A plot is exported as it is once `drawn` (the curves of the last Loop)
// has settled.
export async function exportPlot(id, type, drawn = Promise.resolve()) {
  await drawn;
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

