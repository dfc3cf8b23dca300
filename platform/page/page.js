/*
 * The page of Game of Zop: the game's picture (screen.js) for the page's
 * life, fitted to the room the page leaves it, and one run of the program (a
 * fresh instance of the module, so the game starts from nothing) per game.
 * Keys typed and on-screen keys tapped become the bytes a terminal sends, in
 * one queue that the program reads; the program draws and announces through
 * Module.zopPage, and while it waits the page does nothing at all.  What it
 * knows of the console (size, channels, attribute bits) the program tells it
 * when it opens its screen (platform/page/page.cpp).
 */
import { Screen } from "./screen.js";

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

/* The page's state, in one place. */
const page = {
  box: document.getElementById("screen"),
  screen: new Screen(document.getElementById("picture")),
  log: document.getElementById("log"),
  status: document.getElementById("status"),
  announce: null, /* the channels of the program's announcements, from its open */
  typed: new Uint8Array(0), /* the keys typed and not yet taken, as a terminal sends them (UTF-8) */
  wake: null, /* who waits for them */
  running: false, /* a run of the program is under way */
  compiled: null, /* the module's code, compiled once for every game */
  repeatDelay: 0, /* the timeout before a held on-screen key repeats */
  repeatEvery: 0, /* the interval at which it repeats */
};

/* ------------------------------------------------------------------ Fitting */

/* The screen follows the room it is given; it follows a new device pixel ratio itself. */
function fit() {
  page.screen.fit(page.box.clientWidth, page.box.clientHeight);
}
fit();
new ResizeObserver(fit).observe(page.box);

/* --------------------------------------------------------------------- Keys */

const encoder = new TextEncoder();

/* Types a key: into the program's queue, or Y for another game once the program has ended. */
function type(text) {
  if (!page.running) {
    if (text === "y" || text === "Y")
      play();
    return;
  }
  const bytes = encoder.encode(text);
  const joined = new Uint8Array(page.typed.length + bytes.length);
  joined.set(page.typed);
  joined.set(bytes, page.typed.length);
  page.typed = joined;
  if (page.wake)
    page.wake();
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
function stopRepeat() {
  clearTimeout(page.repeatDelay);
  clearInterval(page.repeatEvery);
  page.repeatDelay = page.repeatEvery = 0;
}
function startRepeat(bytes) {
  page.repeatDelay = setTimeout(() => {
    page.repeatDelay = 0;
    page.repeatEvery = setInterval(() => type(bytes), REPEAT_EVERY_MS);
  }, REPEAT_DELAY_MS);
}
for (const button of document.querySelectorAll("#keys button")) {
  const bytes = BUTTON_BYTES[button.dataset.key];
  button.addEventListener("pointerdown", (event) => {
    event.preventDefault(); /* the button takes no focus and selects no text */
    stopRepeat();
    type(bytes);
    if (button.dataset.key === "Up" || button.dataset.key === "Down")
      startRepeat(bytes);
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
  if (channel === page.announce.status) {
    page.status.textContent = text;
  } else if (channel === page.announce.log && text.trim() !== "") {
    const item = document.createElement("li");
    item.textContent = text.trimEnd();
    page.log.append(item);
    if (performance.getEntriesByName("zop-first-screen").length === 0)
      performance.mark("zop-first-screen"); /* its first line comes with the first screen */
  }
}

/* What the program calls (page.cpp). */
const zopPage = {
  /* The console's size, the channels of its announcements and its attribute bits. */
  open(constants) {
    page.announce = constants.announce;
    page.screen.open(constants);
  },
  present(cells, columns, rows) { page.screen.present(cells, columns, rows); },
  say,
  take(size) {
    const taken = page.typed.slice(0, size);
    page.typed = page.typed.slice(taken.length);
    return taken;
  },
  /* A promise kept at the next key, or after timeoutMs (negative: no limit). */
  wait(timeoutMs) {
    return new Promise((resolve) => {
      let timer = 0;
      page.wake = () => { page.wake = null; clearTimeout(timer); resolve(); };
      if (timeoutMs >= 0)
        timer = setTimeout(page.wake, timeoutMs);
    });
  },
};

/* Shows that the program has ended (its exit status, or what stopped it), and offers another game. */
function ended(outcome) {
  page.running = false;
  document.getElementById("end-text").textContent =
    outcome === 0 ? "The game is over." : "The game stopped: " + outcome + ".";
  document.getElementById("end").hidden = false;
  document.getElementById("again").focus();
}

async function play() {
  page.running = true;
  document.getElementById("end").hidden = true;
  page.typed = new Uint8Array(0);
  page.log.replaceChildren();
  page.status.textContent = "";
  page.box.focus();
  if (!page.compiled)
    page.compiled = await WebAssembly.compileStreaming(fetch("zop.wasm"));
  const program = await createZop({
    zopPage,
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(page.compiled, imports).then((instance) => receive(instance, page.compiled));
      return {};
    },
  });
  program.ccall("main", "number", ["number", "number"], [0, 0], { async: true })
    .then(ended, (error) => ended(String(error)));
}

document.getElementById("again").addEventListener("click", play);
/* For tests: the rows as text, and where a cell is on the page. */
window.zopScreenText = () => page.screen.text();
window.zopCellRect = (column, row) => page.screen.cellRect(column, row);
play();
