/*
 * The page of Game of Zop: the game's picture (screen.js) for the page's
 * life, fitted to the room the page leaves it, and one run of the program (a
 * fresh instance of the module, so the game starts from nothing) per game.
 * Keys typed and on-screen keys tapped become the bytes a terminal sends, in
 * one queue that the program reads; the program draws and announces through
 * Module.zopPage, and while it waits the page does nothing at all.  What it
 * knows of the console and the game (size, channels, attribute bits, the
 * packing of cells, the names of the screen's parts, the on-screen keys) the
 * program tells it when it opens its screen (platform/page/page.cpp), and
 * where those parts are it announces.  Where the whole picture would be too
 * small to read, the page shows the machine alone at larger cells, the
 * messages as text and the keys beside them: a layout its style sheet chooses
 * from the window before the first paint, whose places the parts then fill.
 */
import { newerBuild } from "./offline.js";
import { Screen } from "./screen.js";
import createZop from "./zop.js";

/* The bytes a terminal of the xterm kind sends for the keys that are not characters. */
const KEY_BYTES = {
  Enter: "\r", Escape: "\x1b", Backspace: "\x7f",
  ArrowUp: "\x1b[A", ArrowDown: "\x1b[B", ArrowRight: "\x1b[C", ArrowLeft: "\x1b[D",
  Home: "\x1b[H", End: "\x1b[F", Insert: "\x1b[2~", Delete: "\x1b[3~",
  PageUp: "\x1b[5~", PageDown: "\x1b[6~",
  F1: "\x1bOP", F2: "\x1bOQ", F3: "\x1bOR", F4: "\x1bOS", F5: "\x1b[15~", F6: "\x1b[17~",
  F7: "\x1b[18~", F8: "\x1b[19~", F9: "\x1b[20~", F10: "\x1b[21~", F11: "\x1b[23~", F12: "\x1b[24~",
};
/* A held on-screen key that repeats does so after this long, this often. */
const REPEAT_DELAY_MS = 400, REPEAT_EVERY_MS = 80;
/* A count is said once it has stayed this long: a held arrow changes it a dozen times a second. */
const COUNT_SETTLES_MS = 500;
/* An on-screen key that confirms types only when tapped again within this long. */
const CONFIRM_MS = 3000;

/* The page's state, in one place. */
const page = {
  game: document.getElementById("game"),
  box: document.getElementById("screen"),
  screen: new Screen(document.getElementById("picture")),
  log: document.getElementById("log"),
  messages: document.getElementById("messages"),
  status: document.getElementById("status"),
  bar: document.getElementById("keys"),
  buttons: [], /* the on-screen keys, made at the program's first open */
  keys: new Map(), /* the on-screen keys by the program's name of each, as it told them */
  again: null, /* the one of them that starts another game once the program has ended */
  names: {}, /* the names of the parts of the screen, as the program told them */
  parts: new Map(), /* the parts of the screen by name: {left, top, right, bottom} in cells */
  result: null, /* how the last game ended, as the program said it */
  countTimer: 0, /* the count waiting to be said */
  statusTask: false, /* the status region was given a text in this task */
  armed: 0, /* the timeout of a first tap on an on-screen key that confirms, or 0 */
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

/*
 * Shows the picture as the layout the style sheet chose from the window has it:
 * the whole picture, or where its cells would be too small to read (a phone) the
 * machine alone, as large as fits, beside the messages and keys.  The layout is
 * the window's before the first paint, so only the picture follows it: hidden
 * until the program has told its size, and on a phone the machine's place.
 */
function arrange() {
  const phone = getComputedStyle(document.documentElement).getPropertyValue("--layout").trim() === "phone";
  const machine = page.parts.get(page.names.machine);
  page.screen.show(phone ? machine : null);
  page.screen.hide(!page.screen.columns || (phone && !machine));
  fit();
}
fit();
new ResizeObserver(fit).observe(page.box);
addEventListener("resize", arrange);

/* --------------------------------------------------------------------- Keys */

const encoder = new TextEncoder();

/* Types a key: into the program's queue, or the key that replays, in either case, for another
   game once the program has ended. */
function type(text) {
  if (!page.running) {
    if (page.again && text.toLowerCase() === keyText(page.again.typesAs).toLowerCase())
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

/* What the key of a name (as the browser names it) types: its bytes, or null for a key left to
   the browser (Tab, Shift). */
function keyText(name) {
  if (name in KEY_BYTES)
    return KEY_BYTES[name];
  return [...name].length === 1 ? name : null;
}

/* What a key press types: its bytes, or null for a key left to the browser (shortcuts, Tab). */
function keyBytes(event) {
  if (event.isComposing || event.metaKey || event.ctrlKey !== event.altKey)
    return null; /* Ctrl or Alt alone is the browser's; both together are AltGr */
  return keyText(event.key);
}

/* Keys go to the game only from the game, its keys and its end bar: elsewhere they are the page's. */
document.addEventListener("keydown", (event) => {
  if (!event.target.closest?.("#screen, #keys, #end"))
    return;
  if (event.target.tagName === "BUTTON" && (event.key === "Enter" || event.key === " "))
    return; /* the button's own */
  const bytes = keyBytes(event);
  if (bytes === null)
    return;
  if (!/^F\d/.test(event.key))
    event.preventDefault();
  type(bytes);
});

/* The on-screen keys: a press types at once, and a held key that repeats types until let go. */
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
/* A tap of an on-screen key that confirms: the first asks for a second, which types it; a stray
   tap loses no game.  Where the key does nothing it is typed at once. */
function pressConfirming(button, bytes) {
  if (page.armed || !button.dataset.what) {
    disarm(button);
    type(bytes);
    return;
  }
  page.armed = setTimeout(() => disarm(button), CONFIRM_MS);
  button.dataset.armed = "";
  button.setAttribute("aria-label", `${button.dataset.key}, ${button.dataset.what}: tap again to confirm`);
  button.querySelector("small").textContent = "tap again";
}
function disarm(button) {
  clearTimeout(page.armed);
  page.armed = 0;
  delete button.dataset.armed;
  nameKey(button);
}

/* A press of an on-screen key. */
function press(button, key) {
  const bytes = keyText(key.typesAs);
  if (key.confirms)
    pressConfirming(button, bytes);
  else
    type(bytes);
}

/* Has an on-screen key type what its key of the program's table types, on a press or held. */
function listen(button, key) {
  button.addEventListener("pointerdown", (event) => {
    event.preventDefault(); /* the button takes no focus and selects no text */
    stopRepeat();
    press(button, key);
    if (key.repeats)
      startRepeat(keyText(key.typesAs));
  });
  for (const end of ["pointerup", "pointercancel", "pointerleave"])
    button.addEventListener(end, stopRepeat);
  button.addEventListener("click", (event) => {
    if (event.detail === 0) /* pressed from the keyboard: a pointer typed it on pointerdown */
      press(button, key);
  });
  button.addEventListener("contextmenu", (event) => event.preventDefault());
}

/* An on-screen key of the program's table, in its place on the keys bar, doing nothing yet. */
function makeButton(key) {
  const button = document.createElement("button");
  button.dataset.key = key.name;
  button.style.gridArea = key.place;
  if (key.confirms)
    button.dataset.confirms = "";
  button.append(Object.assign(document.createElement("b"), { textContent: key.caption }),
                document.createElement("small"));
  listen(button, key);
  nameKey(button);
  return button;
}

/* Takes the on-screen keys the program tells at its open, made at the first: the keys bar's room
   is laid out before them, so they move nothing. */
function makeKeys(keys) {
  if (page.buttons.length > 0)
    return;
  page.keys = new Map(keys.map((key) => [key.name, key]));
  page.again = keys.find((key) => key.replays);
  page.buttons = keys.map(makeButton);
  page.bar.replaceChildren(...page.buttons);
}

/* Names an on-screen key by what it does now: "B, release a marble"; a key that does nothing
   now is dimmed.  A key armed to confirm keeps its question. */
function nameKey(button) {
  const key = button.dataset.key, what = button.dataset.what;
  if (button.dataset.armed !== undefined)
    return;
  button.setAttribute("aria-label", what ? `${key}, ${what}` : key);
  button.setAttribute("aria-disabled", String(!what));
  button.querySelector("small").textContent = what || "";
}

/* What each key does now, as the program tells it: "key:what" joined by '|'. */
function meanings(text) {
  return new Map(text.split("|").filter(Boolean).map((pair) => {
    const colon = pair.indexOf(":");
    return [pair.slice(0, colon), pair.slice(colon + 1)];
  }));
}

/* Shows what each key does now (a map of the program's names of keys to what they do) on the
   on-screen keys and in the game's list of its keys. */
function showKeys(what) {
  for (const button of page.buttons) {
    button.dataset.what = what.get(button.dataset.key) || "";
    nameKey(button);
  }
  const shortcut = (name) => page.keys.get(name)?.shortcut || name;
  page.box.setAttribute("aria-keyshortcuts", Array.from(what.keys(), shortcut).join(" "));
}

/* ------------------------------------------------------------- The program */

/*
 * Puts a text in the status region in place of what it held, or after a text put
 * there in the same task (two announcements of one present): the region then holds
 * both, in order, and a reader says both.
 */
function putStatus(text) {
  const item = Object.assign(document.createElement("p"), { textContent: text });
  if (page.statusTask) {
    page.status.append(item);
    return;
  }
  page.status.replaceChildren(...(text ? [item] : []));
  page.statusTask = true;
  queueMicrotask(() => { page.statusTask = false; });
}

/* Puts a text in the status region; a count waiting to be said is dropped. */
function sayStatus(text) {
  clearTimeout(page.countTimer);
  page.countTimer = 0;
  putStatus(text);
}

/* A line of the message window into the log, shown at its end where the log is on view. */
function sayLine(text) {
  if (text.trim() === "")
    return;
  const item = document.createElement("li");
  item.textContent = text.trimEnd();
  page.log.append(item);
  page.messages.scrollTop = page.messages.scrollHeight;
  if (performance.getEntriesByName("zop-first-screen").length === 0)
    performance.mark("zop-first-screen"); /* its first line comes with the first screen */
}

/* Takes a part of the screen, "name left top right bottom"; the machine's takes its place on a phone. */
function takePart(text) {
  const [name, left, top, right, bottom] = text.split(" ");
  page.parts.set(name, { left: +left, top: +top, right: +right, bottom: +bottom });
  if (name === page.names.machine)
    arrange();
}

/*
 * Takes a text the program announced: a message line into the log; the turn, the
 * result and (once it settles) the count into the status; what the keys do to the
 * keys; a part of the screen to the layout.
 */
function say(channel, text) {
  const { log, status, turn, result, keys, part } = page.announce;
  if (channel === log) {
    sayLine(text);
  } else if (channel === status) {
    clearTimeout(page.countTimer);
    page.countTimer = setTimeout(() => sayStatus(text), COUNT_SETTLES_MS);
  } else if (channel === turn) {
    page.result = null; /* a game is under way */
    putStatus(text); /* a count still settling is said after it */
  } else if (channel === result) {
    page.result = text;
    sayStatus(text);
  } else if (channel === keys) {
    showKeys(meanings(text));
  } else if (channel === part) {
    takePart(text);
  }
}

/* What the program calls (page.cpp). */
const zopPage = {
  /* The console's size, the channels of its announcements, its attribute bits and packing of
     cells, the names of the parts of its screen and the on-screen keys. */
  open(constants) {
    page.announce = constants.announce;
    page.names = constants.parts;
    makeKeys(constants.keys);
    page.screen.open(constants);
    arrange();
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

/* Shows that the program has ended (who won, or what stopped it) under the last picture it showed,
   which its screen cleared for handing back does not replace, and offers another game. */
function ended(outcome) {
  page.running = false;
  page.screen.keep();
  document.getElementById("end-text").textContent =
    outcome !== 0 ? "The game stopped: " + outcome + "." : page.result || "The game is over.";
  document.getElementById("end").hidden = false;
  page.game.classList.add("ended"); /* the messages make room above the end bar on a phone */
  page.messages.scrollTop = page.messages.scrollHeight;
  showKeys(new Map(page.again ? [[page.again.name, "play again"]] : []));
  document.getElementById("again").focus();
}

async function play() {
  if (newerBuild()) { /* a newer build has taken over (offline.js): the next game is its */
    location.reload();
    return;
  }
  page.running = true;
  document.getElementById("end").hidden = true;
  page.game.classList.remove("ended");
  page.typed = new Uint8Array(0);
  page.log.replaceChildren();
  sayStatus("");
  page.result = null;
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

/* How to play: the rules, and the game's help as its help part shows it now. */
document.getElementById("howto").addEventListener("toggle", (event) => {
  const help = page.parts.get(page.names.help), lines = page.screen.text();
  if (!event.target.open) {
    page.box.focus(); /* back to the game, whose keys act only there */
    return;
  }
  if (!help)
    return;
  document.getElementById("guide").replaceChildren(...lines.slice(help.top, help.bottom + 1)
    .map((line) => line.slice(help.left, help.right + 1).trim()).filter(Boolean)
    .map((line) => Object.assign(document.createElement("li"), { textContent: line })));
});
/* For tests: the rows as text, where a cell is on the page (null where it is not shown), and the
   parts of the screen the program told, {left, top, right, bottom} in cells, found by the names it
   gave them at open: {machine, messages, help}. */
window.zopScreenText = () => page.screen.text();
window.zopCellRect = (column, row) => page.screen.cellRect(column, row);
window.zopParts = () => Object.fromEntries(Object.entries(page.names)
  .map(([part, name]) => [part, page.parts.get(name)]));
showKeys(new Map()); /* no key does anything before the program opens */
play();
