// Isolation: quorix-cli isolation design --json for N bearings alike, each
// the case's fields: every fixed point of the codes' map for the model and
// for the bilinear loop of the same Fy, α and Uy side by side, the one the
// code's iteration reaches, and the map itself drawn against the line
// y = D (design --map-points). What is shown carries the fields it was
// made from, and is greyed once they change.
import { engine } from "./engine.js";
import { $, betaFollowed, clearMarks, fieldText, followDesignShown, markField, option, parameterCaption, say, setBusy, writeQuery }
  from "./fields.js";
import { baseOption, loadCharts, show, showEmpty } from "./charts.js";
import { answerOf, pageWords } from "./replies.js";
import { ISO_FIELDS, ISO_OPTION_OF, designTable, fixedPoints, isolationWords, iterationText,
  mapPoints, spectrumArgument } from "./isolation-replies.js";

// The map's samples: evenly in log D over the range, some 50 a decade over
// the default four decades, which draws its bends smoothly.
const MAP_POINTS = 201;

// The damping rules as docs/isolation.md gives them, under the choice.
const CODE_RULES = {
  asce7: "B = 0.8 at βeff ≤ 2 %, 1.0 at 5 %, 1.2 at 10 %, 1.5 at 20 %, 1.7 at 30 %, 1.9 at 40 %, 2.0 at ≥ 50 %, " +
    "linear between.",
  aashto: "B = (βeff/0.05)^0.3 up to βeff = 0.3, 1.7 above.",
  en1998: "B = 1/η, η = sqrt(10/(5 + ξ)) ≥ 0.55, ξ = βeff in %.",
};

const useTable = () => $("iso-sa-table").checked;
// A field of the section as --option=TEXT (an empty one as its own
// argument, which the command line refuses as no number).
const isoOption = (id) => (fieldText(id) === "" ? [ISO_OPTION_OF[id], ""] : [ISO_OPTION_OF[id] + "=" + fieldText(id)]);

// What a design reads, as one text: the design shown belongs to the
// fields while their key is the one it was made with.
export function isolationKey() {
  const ids = ["gamma", "n", "alpha", "fy", "uy", ...ISO_FIELDS.filter((id) => id !== (useTable() ? "iso-s1" : "iso-spectrum"))];
  return JSON.stringify([ids.map(fieldText), useTable(), $("iso-code").value]);
}

let shownKey = null;
followDesignShown(() => shownKey !== null && shownKey === isolationKey());

export function markIsolationStale() {
  const stale = shownKey !== null && shownKey !== isolationKey();
  for (const id of ["iso-output", "figure-iso"]) $(id).classList.toggle("stale", stale);
  const note = stale ? "The fields have changed since this design: it shows the case named above the table; " +
    "press Design for the fields' case." : "";
  if ($("iso-stale").textContent !== note) $("iso-stale").textContent = note;
}

export function showCodeRule() {
  $("iso-code-rule").textContent = CODE_RULES[$("iso-code").value] || "";
}

// The command line's arguments, or a refusal of the pasted table. An empty
// g is left out, so that the command line says it is needed; an empty
// range end takes its default (0.01·Uy, 100·Uy).
function designArgs() {
  const args = ["isolation", "design", "--json", "--map-points", String(MAP_POINTS)];
  for (const id of ["n", "gamma", "beta", "alpha", "fy", "uy"]) args.push(...option(id));
  args.push(...isoOption("iso-bearings"), ...isoOption("iso-w"));
  if (fieldText("iso-g").trim() !== "") args.push(...isoOption("iso-g"));
  if (useTable()) {
    const table = spectrumArgument(fieldText("iso-spectrum"));
    if (table.refusal) return { refused: { field: "iso-spectrum", text: table.refusal.message } };
    args.push("--spectrum=" + table.text);
  } else {
    args.push(...isoOption("iso-s1"));
  }
  for (const id of ["iso-dmin", "iso-dmax"]) if (fieldText(id).trim() !== "") args.push(...isoOption(id));
  args.push("--code=" + $("iso-code").value);
  return { args };
}

// The field a refusal of the design's own checks is about, by its words
// (they name no option).
const REFUSED_FIELD = [[/^--g\b|^g must/, "iso-g"], [/^--W\b|weight W/, "iso-w"], [/^S1 /, "iso-s1"],
  [/spectrum's/, "iso-spectrum"], [/range's lower end/, "iso-dmin"], [/range's upper end/, "iso-dmax"],
  [/number of bearings/, "iso-bearings"]];

// A refusal in the page's words: the field it names marked, with its
// message beside it.
function refusedField(answer) {
  const refusal = answer && answer.refusal;
  if (!refusal || typeof refusal.message !== "string") return { field: null, text: "the command failed" };
  const field = Object.keys(ISO_OPTION_OF).find((id) => ISO_OPTION_OF[id] === refusal.option) ||
    REFUSED_FIELD.find(([pattern]) => pattern.test(refusal.message))?.[1];
  const caseField = { "--n": "n", "--gamma": "gamma", "--beta": "gamma", "--alpha": "alpha", "--fy": "fy",
    "--uy": "uy" }[refusal.option];
  return { field: field || caseField || null, text: isolationWords(pageWords(refusal.message)) };
}

function cell(tag, text, attrs = {}) {
  const element = document.createElement(tag);
  element.textContent = text;
  for (const [name, value] of Object.entries(attrs)) element.setAttribute(name, value);
  return element;
}

// The table: a row a quantity (its unit beside its name), a column a fixed
// point, the model's first, then the bilinear loop's.
function showTable(answer) {
  const { rows, columns } = designTable(answer);
  const table = $("iso-table");
  table.replaceChildren();
  const groups = document.createElement("tr");
  groups.append(cell("th", "", { scope: "col" }));
  for (const [loop, name] of [["model", "Bouc-Wen model"], ["bilinear", "Bilinear loop (same Fy, α, Uy)"]]) {
    const span = columns.filter((c) => c.loop === loop).length;
    groups.append(cell("th", name, { scope: "colgroup", colspan: String(span), class: "group-" + loop }));
  }
  const heads = document.createElement("tr");
  heads.append(cell("th", "quantity (unit)", { scope: "col" }));
  for (const column of columns) heads.append(cell("th", column.head, { scope: "col", class: "loop-" + column.loop }));
  const head = document.createElement("thead");
  head.append(groups, heads);
  const body = document.createElement("tbody");
  for (const [key, label, unit] of rows) {
    const tr = document.createElement("tr");
    tr.dataset.key = key;
    // The unit beside the name, in the column that stays in view as the
    // points scroll sideways on a phone.
    const name = cell("th", label, { scope: "row" });
    if (unit) name.append(" ", cell("span", unit, { class: "unit" }));
    tr.append(name);
    for (const column of columns) tr.append(cell("td", column.cells[key] ?? "", { class: "loop-" + column.loop }));
    body.append(tr);
  }
  table.append(head, body);
}

function drawMap(answer, caption) {
  const series = [];
  const line = (name, data, colour, type = "solid") => ({ name, type: "line", data, showSymbol: false,
    lineStyle: { color: colour, type }, itemStyle: { color: colour } });
  const model = mapPoints(answer);
  const bilinear = mapPoints(answer.bilinear);
  series.push(line("next D, model", model, "#143ca0"), line("next D, bilinear loop", bilinear, "#d25014", "dashed"));
  const ends = model.length ? [model[0][0], model[model.length - 1][0]] : [];
  series.push(line("y = D", ends.map((D) => [D, D]), "#555555", "dotted"));
  series.push({ name: "fixed points, model", type: "scatter", data: fixedPoints(answer), symbolSize: 9,
    itemStyle: { color: "#143ca0" } });
  series.push({ name: "fixed points, bilinear loop", type: "scatter", data: fixedPoints(answer.bilinear || {}),
    symbol: "diamond", symbolSize: 9, itemStyle: { color: "#d25014" } });
  const option = baseOption("The design map: next D against D", "D (length)", "next D (length)", caption);
  // The case's line breaks within the plot's width, a phone's too.
  option.title.subtextStyle.width = Math.max(200, Math.min(440, $("plot-iso").clientWidth - 24));
  option.grid.top = $("plot-iso").clientWidth < 480 ? 100 : option.grid.top;
  option.xAxis = { ...option.xAxis, type: "log", scale: false };
  option.yAxis = { ...option.yAxis, type: "log", scale: false };
  option.series = series;
  if (model.length === 0) return showEmpty("plot-iso", "The design gave no map to draw.");
  return show("plot-iso", option);
}

function clearDesign(reason) {
  shownKey = null;
  $("iso-table").replaceChildren();
  $("iso-summary").textContent = "";
  markIsolationStale();
  return showEmpty("plot-iso", "No design: " + reason);
}

// One design, holding the buttons while it runs.
export async function runDesign() {
  await betaFollowed();
  const key = isolationKey();
  const caption = parameterCaption() + "; N " + fieldText("iso-bearings") + ", W " + fieldText("iso-w") +
    ", g " + fieldText("iso-g") + "; " + $("iso-code").value;
  clearMarks(ISO_FIELDS);
  const { args, refused } = designArgs();
  if (refused) {
    markField(refused.field, refused.text);
    say("iso-message", "Nothing computed: " + refused.text, { error: true });
    return clearDesign(refused.text);
  }
  setBusy(1, "the design");
  say("iso-message", "Designing…");
  try {
    const reply = await engine.run(args);
    loadCharts();
    const answer = answerOf(reply);
    if (reply.status !== 0 || answer === null || answer.refusal) {
      const why = refusedField(answer);
      if (why.field) markField(why.field, why.text);
      say("iso-message", "Nothing computed: " + why.text, { error: true });
      return clearDesign(why.text);
    }
    showTable(answer);
    $("iso-summary").textContent = caption + ". " + iterationText(answer, "Model") + " " +
      iterationText(answer.bilinear, "Bilinear loop") + " B by " + answer.source + ".";
    shownKey = key;
    markIsolationStale();
    say("iso-message", "");
    writeQuery();
    await drawMap(answer, caption);
  } catch (error) {
    if (!error.stopped) say("iso-message", "Nothing computed: " + error.message, { error: true });
  } finally {
    setBusy(-1, "the design");
  }
  return undefined;
}

export function wireIsolation() {
  const changed = () => markIsolationStale();
  for (const id of ISO_FIELDS) {
    $(id).addEventListener("input", () => {
      markField(id, null);
      changed();
    });
  }
  for (const id of ["iso-sa-s1", "iso-sa-table", "iso-code"]) $(id).addEventListener("change", changed);
  $("iso-code").addEventListener("change", showCodeRule);
  const start = (event) => {
    event.preventDefault();
    runDesign();
  };
  $("iso-design").addEventListener("click", start);
  $("iso-form").addEventListener("submit", start);
  showCodeRule();
  showEmpty("plot-iso", "Press Design to draw the map.");
}
