// Analysis programs: a material line read back into the case, and the lines
// of the case copied.
import { engine } from "./engine.js";
import { $, setBusy } from "./fields.js";
import { answerOf, refusalText } from "./replies.js";
import { solveCase } from "./solve.js";

// A material line of an analysis program read into the fields (quorix-cli
// solve --material or --csi-wen maps it onto the case) and solved. CSI's
// link is written as key=value pairs; anything else is taken for an
// OpenSees material, whose reader names what it cannot take.
export async function readMaterial() {
  const text = $("material").value.replace(/\0/g, "").trim();
  const message = $("material-message");
  message.textContent = "";
  if (text === "") {
    message.textContent = "Nothing read: the line is empty.";
    return;
  }
  const csi = !/uniaxialMaterial/i.test(text) && /^\s*(k|yield|ratio|exp)\s*=/i.test(text);
  setBusy(1);
  let mapped = null;
  try {
    const reply = await engine.run(["solve", "--json", (csi ? "--csi-wen=" : "--material=") + text]);
    const answer = answerOf(reply);
    if (reply.status !== 0 || answer === null) {
      message.textContent = "Nothing read: " + refusalText(answer);
      return;
    }
    mapped = answer.case;
  } catch (error) {
    if (!error.stopped) message.textContent = "Nothing read: " + error.message;
    return;
  } finally {
    setBusy(-1);
  }
  await solveCase(mapped);
}

// The lines onto the clipboard; where the page may not write there (an
// address other than https or the machine's own), they are selected for
// Ctrl+C.
export async function copyMaterials() {
  const pre = $("materials");
  try {
    await navigator.clipboard.writeText(pre.textContent);
    $("copy-materials").textContent = "Copied";
    setTimeout(() => { $("copy-materials").textContent = "Copy lines"; }, 1500);
  } catch (error) {
    const range = document.createRange();
    range.selectNodeContents(pre);
    const selection = getSelection();
    selection.removeAllRanges();
    selection.addRange(range);
    pre.focus();
  }
}

