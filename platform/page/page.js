/*
 * The page of Game of Zop: the game's picture (screen.js) for the page's
 * life, fitted to the room the page leaves it, and one run of the program (a
 * fresh instance of the module, so the game starts from nothing) per game.
 * Keys typed and on-screen keys tapped become the bytes a terminal sends, in
 * one queue that the program reads; the program draws and announces through
 * Module.zopPage, and while it waits the page does nothing at all.
 */
import { Screen } from "./screen.js";

/* The channels of the program's announcements (PlatformAnnounce). */
const ANNOUNCE_LOG = 1, ANNOUNCE_STATUS = 2;

/* The bytes a terminal of the xterm kind sends for the keys that are not characters. */
const KEY_BYTES = {
  Enter: "\r", Escape: "\x1b", Backspace: "\x7f",
  ArrowUp: "\x1b[A", ArrowDown: "\x1b[B", ArrowRight: "\x1b[C", ArrowLeft: "\x1b[D",
  Home: "\x1b[H", End: "\x1b[F", Insert: "\x1b[2~", Delete: "\x1b[3~",
  PageUp: "\x1b[5~", PageDown: "\x1b[6~",
  F1: "\x1bOP", F2: "\x1bOQ", F3: "\x1bOR", F4: "\x1bOS", F5: "\x1b[15~", F6: "\x1b[17~",
  F7: "\x1b[18~", F8: "\x1b[19~", F9: "\x1b[20~", F10: "\x1b[21~", F11: "\x1b[23~", F12: "\x1b[24~",
};
/* The on-screen keys by their data-key: what each types. */
const BUTTON_BYTES = { Up: KEY_BYTES.ArrowUp, Down: KEY_BYTES.ArrowDown, Escape: KEY_BYTES.Escape,
                       N: "n", P: "p", G: "g", B: "b", Y: "y" };
/* A held arrow key repeats after this long, this often. */
const REPEAT_DELAY_MS = 400, REPEAT_EVERY_MS = 80;

const screenBox = document.getElementById("screen");
const screen = new Screen(document.getElementById("picture"));
const log = document.getElementById("log");
const status = document.getElementById("status");

/* ------------------------------------------------------------------ Fitting */

function fit() {
  screen.fit(screenBox.clientWidth, screenBox.clientHeight);
}
fit();
new ResizeObserver(fit).observe(screenBox);
window.addEventListener("resize", fit); /* a new device pixel ratio changes no box */

/* --------------------------------------------------------------------- Keys */

/* The keys typed and not yet taken, as a terminal sends them (UTF-8), and who waits for them. */
const encoder = new TextEncoder();
let typed = new Uint8Array(0);
let wake = null;
let running = false; /* a run of the program is under way */

/* Types a key: into the program's queue, or Y for another game once the program has ended. */
function type(text) {
  if (!running) {
    if (text === "y" || text === "Y")
      play();
    return;
  }
  const bytes = encoder.encode(text);
  const joined = new Uint8Array(typed.length + bytes.length);
  joined.set(typed);
  joined.set(bytes, typed.length);
  typed = joined;
  if (wake)
    wake();
}

/* What a key press types: its bytes, or null for a key left to the browser (shortcuts, Tab). */
function keyBytes(event) {
  if (event.isComposing || event.metaKey || event.ctrlKey !== event.altKey)
    return null; /* Ctrl or Alt alone is the browser's; both together are AltGr */
  if (event.key in KEY_BYTES)
    return KEY_BYTES[event.key];
  return [...event.key].length === 1 ? event.key : null;
}

document.addEventListener("keydown", (event) => {
  if (event.target.tagName === "BUTTON" && (event.key === "Enter" || event.key === " "))
    return; /* the button's own */
  const bytes = keyBytes(event);
  if (bytes === null)
    return;
  if (!/^F\d/.test(event.key))
    event.preventDefault();
  type(bytes);
});

/* The on-screen keys: a press types at once, and a held arrow repeats until let go. */
let repeat = 0;
function stopRepeat() {
  clearTimeout(repeat);
  clearInterval(repeat);
  repeat = 0;
}
for (const button of document.querySelectorAll("#keys button")) {
  const bytes = BUTTON_BYTES[button.dataset.key];
  button.addEventListener("pointerdown", (event) => {
    event.preventDefault(); /* the button takes no focus and selects no text */
    stopRepeat();
    type(bytes);
    if (button.dataset.key === "Up" || button.dataset.key === "Down")
      repeat = setTimeout(() => { repeat = setInterval(() => type(bytes), REPEAT_EVERY_MS); },
                          REPEAT_DELAY_MS);
  });
  for (const end of ["pointerup", "pointercancel", "pointerleave"])
    button.addEventListener(end, stopRepeat);
  button.addEventListener("click", (event) => {
    if (event.detail === 0) /* pressed from the keyboard: a pointer typed it on pointerdown */
      type(bytes);
  });
  button.addEventListener("contextmenu", (event) => event.preventDefault());
}

/* ------------------------------------------------------------- The program */

/* Says a text the program announced: a message line goes into the log, the count into the status. */
function say(channel, text) {
  if (channel === ANNOUNCE_STATUS) {
    status.textContent = text;
  } else if (channel === ANNOUNCE_LOG && text.trim() !== "") {
    const item = document.createElement("li");
    item.textContent = text.trimEnd();
    log.append(item);
    if (performance.getEntriesByName("zop-first-screen").length === 0)
      performance.mark("zop-first-screen"); /* its first line comes with the first screen */
  }
}

/* What the program calls (console/web/page.cpp). */
const zopPage = {
  present(cells, columns, rows) { screen.present(cells, columns, rows); },
  say,
  take(size) {
    const taken = typed.slice(0, size);
    typed = typed.slice(taken.length);
    return taken;
  },
  /* A promise kept at the next key, or after timeoutMs (negative: no limit). */
  wait(timeoutMs) {
    return new Promise((resolve) => {
      let timer = 0;
      wake = () => { wake = null; clearTimeout(timer); resolve(); };
      if (timeoutMs >= 0)
        timer = setTimeout(wake, timeoutMs);
    });
  },
};

let compiled = null; /* the module's code, compiled once for every game */

/* Shows that the program has ended (its exit status, or what stopped it), and offers another game. */
function ended(outcome) {
  running = false;
  document.getElementById("end-text").textContent =
    outcome === 0 ? "The game is over." : "The game stopped: " + outcome + ".";
  document.getElementById("end").hidden = false;
  document.getElementById("again").focus();
}

async function play() {
  running = true;
  document.getElementById("end").hidden = true;
  typed = new Uint8Array(0);
  log.replaceChildren();
  status.textContent = "";
  screenBox.focus();
  if (!compiled)
    compiled = await WebAssembly.compileStreaming(fetch("zop.wasm"));
  const program = await createZop({
    zopPage,
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(compiled, imports).then((instance) => receive(instance, compiled));
      return {};
    },
  });
  program.ccall("main", "number", ["number", "number"], [0, 0], { async: true })
    .then(ended, (error) => ended(String(error)));
}

document.getElementById("again").addEventListener("click", play);
/* For tests: the rows as text, and where a cell is on the page. */
window.zopScreenText = () => screen.text();
window.zopCellRect = (column, row) => screen.cellRect(column, row);
play();
