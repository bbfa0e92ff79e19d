// Analysis programs: a material line read back into the case, and the lines
// of the case, each with its Copy.
import { engine } from "./engine.js";
import { $, say, setBusy } from "./fields.js";
import { answerOf, materialCommands, refusalText } from "./replies.js";
import { solveCase } from "./solve.js";

// A material line of an analysis program read into the fields (quorix-cli
// solve --material or --csi-wen maps it onto the case) and solved. CSI's
// link is written as key=value pairs; anything else is taken for an
// OpenSees material, whose reader names what it cannot take.
export async function readMaterial() {
  const text = $("material").value.replace(/\0/g, "").trim();
  say("material-message", "");
  if (text === "") {
    say("material-message", "Nothing read: the line is empty.", { error: true });
    return;
  }
  const csi = !/uniaxialMaterial/i.test(text) && /^\s*(k|yield|ratio|exp)\s*=/i.test(text);
  setBusy(1);
  let mapped = null;
  try {
    const reply = await engine.run(["solve", "--json", (csi ? "--csi-wen=" : "--material=") + text]);
    const answer = answerOf(reply);
    if (reply.status !== 0 || answer === null) {
      say("material-message", "Nothing read: " + refusalText(answer, { naming: true }), { error: true });
      return;
    }
    mapped = answer.case;
  } catch (error) {
    if (!error.stopped) say("material-message", "Nothing read: " + error.message, { error: true });
    return;
  } finally {
    setBusy(-1);
  }
  await solveCase(mapped);
}

// The lines of solve --as, one item each: the program's name, its command,
// and a Copy of the command alone (what the program, and the reader above,
// take); a program with no line for the case says why, with no Copy.
export function showMaterials(lines) {
  const list = $("materials");
  list.replaceChildren();
  const seen = {};
  for (const { label, line, command } of materialCommands(lines)) {
    const item = document.createElement("li");
    if (command === null) {
      item.textContent = line;
      list.append(item);
      continue;
    }
    const name = document.createElement("span");
    name.className = "program";
    name.textContent = label + ":";
    const code = document.createElement("code");
    code.textContent = command;
    const copy = document.createElement("button");
    copy.type = "button";
    copy.textContent = "Copy";
    // The material's own name tells the two lines of one program apart.
    const kind = /BoucWen\w*/.exec(command);
    const key = kind ? label + " " + kind[0] : label;
    seen[key] = (seen[key] || 0) + 1;
    copy.setAttribute("aria-label", "Copy the " + key + (seen[key] > 1 ? " " + seen[key] : "") + " line");
    copy.addEventListener("click", () => copyCommand(copy, code));
    item.append(name, " ", code, " ", copy);
    list.append(item);
  }
}

// A command onto the clipboard; where the page may not write there (an
// address other than https or the machine's own), it is selected for
// Ctrl+C.
async function copyCommand(button, code) {
  try {
    await navigator.clipboard.writeText(code.textContent);
    button.textContent = "Copied";
    setTimeout(() => { button.textContent = "Copy"; }, 1500);
  } catch (error) {
    const range = document.createRange();
    range.selectNodeContents(code);
    const selection = getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
  }
}
