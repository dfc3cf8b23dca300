/*
 * The game in a web page, in a real browser, served from 127.0.0.1 by a
 * server of this test's own, in one of three engines:
 *   chromium  headless Chromium, driven by playwright-core;
 *   firefox   Firefox ESR, headless, by puppeteer-core over WebDriver BiDi;
 *   webkit    WebKitGTK's MiniBrowser, started by WebKitWebDriver (on the X
 *             display in DISPLAY) and driven over W3C WebDriver by fetch().
 * The screen is read through the page's window.zopScreenText(), its cells
 * located by window.zopCellRect() and its parts (the message window) by
 * window.zopParts(), as the program told the page; colours and seams are read
 * off screenshots.
 *
 *   node web_test.mjs ENGINE PAGE_DIR FIRST_SCREEN_FILE SCREENSHOT.png NPM_DIR
 *
 * NPM_DIR is where npm installed tests/platform/page/package.json's packages (web_test.sh
 * does), playwright-core, puppeteer-core and pngjs among them.
 *
 * In every engine, with the keyboard at 1280 x 900: the first screen is the
 * terminal's first screen at 81 x 46, cell for cell; a whole game of 9
 * marbles ('N', the player taking 2, then 3) shows every turn and the
 * winner, the log region holds exactly the message window's lines and the
 * status region has said whose turn it was at each turn, then the winner,
 * and "3 of 3 released" before the turn that comes with it;
 * 'n' at the question ends the program, the page names the winner over the
 * last picture, and another game starts without a reload; the page raises no
 * error.  The screenshot is taken at the question.  In Chromium also: the
 * lever labels black on light green, solid walls and joined frames, no timer
 * and no animation frame while the game waits for a key, no key acting from
 * outside the game, phones upright and lying (touch, device pixel ratio 3)
 * and a small one showing the machine, the count and the last messages
 * legibly and thumb-sized keys, none overlapping, the same game tapped on
 * each of the first two with the keys named by what they do, the layout
 * shifting by at most 0.05 there and at 1280 x 900, a page that
 * fetches nothing but its own files, at most 150 KB compressed, and one that
 * can be installed, plays a whole game offline after one visit and gives way
 * whole to a newer build.
 */
import { createRequire } from "node:module";
import { spawn } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import zlib from "node:zlib";

const [engineName, pageDir, firstScreenFile, screenshotFile, npmDir] = process.argv.slice(2);
const require = createRequire(path.resolve(npmDir, "package.json"));
const { PNG } = require("pngjs");
const firstScreen = fs.readFileSync(firstScreenFile, "utf8").replace(/\n$/, "").split("\n");
const BUDGET_GZIP = 150 * 1000;
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

function fail(message) {
  console.log("FAIL: " + message);
  process.exitCode = 1;
  throw new Error(message);
}

/* ---------------------------------------------------------------- Server */

const types = { ".html": "text/html; charset=utf-8", ".js": "text/javascript",
                ".svg": "image/svg+xml", ".wasm": "application/wasm",
                ".webmanifest": "application/manifest+json" };
/* The folder served: the page as built, or later a newer build of it. */
let served = pageDir;
/*
 * Put first into the page's head: its uncaught errors and console errors in
 * window.zopErrors, read back alike in every engine (WebDriver hears none).
 */
const COLLECT_ERRORS = `<script>(() => {
  const errors = window.zopErrors = [], consoleError = console.error;
  addEventListener("error", (event) => errors.push(event.message));
  addEventListener("unhandledrejection", (event) => errors.push("unhandled rejection: " + event.reason));
  console.error = (...args) => { errors.push(args.join(" ")); consoleError.apply(console, args); };
})();</script>`;
const server = http.createServer((request, response) => {
  const name = path.normalize(decodeURIComponent(new URL(request.url, "http://page").pathname));
  const file = path.resolve(served, "." + (name === "/" ? "/index.html" : name));
  if (!file.startsWith(path.resolve(served))) {
    response.writeHead(403).end();
    return;
  }
  fs.readFile(file, (error, data) => {
    if (error) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
    response.end(file.endsWith("index.html") ? String(data).replace("<head>", "<head>" + COLLECT_ERRORS) : data);
  });
});
await new Promise((listening) => server.listen(0, "127.0.0.1", listening));
const origin = `http://127.0.0.1:${server.address().port}`;

/* ---------------------------------------------------------------- Page */

/* Before the page's own scripts: every timer, animation frame and idle callback that fires is counted. */
function CountCallbacks() {
  window.callbacksFired = 0;
  for (const name of ["setTimeout", "setInterval", "requestAnimationFrame", "requestIdleCallback"]) {
    const original = window[name];
    window[name] = function (callback, ...rest) {
      return original.call(window, function (...args) {
        window.callbacksFired++;
        return callback.apply(this, args);
      }, ...rest);
    };
  }
}

/*
 * A tab is a page in one engine: run(fn, arg) runs fn(arg) in the page and
 * gives its result, press(key) presses a key by its DOM name, click(selector)
 * clicks an element, screenshot(file) saves a picture of the page.
 */
const rows = (tab) => tab.run(() => zopScreenText());
/* The message window's lines that are not blank, oldest first: none before the page is told where it is. */
async function messages(tab) {
  const [text, { messages: part }] = await tab.run(() => [zopScreenText(), zopParts()]);
  if (!part)
    return [];
  const { left, top, right, bottom } = part;
  return text.slice(top, bottom + 1).map((row) => row.slice(left, right + 1).trimEnd()).filter((line) => line !== "");
}
/* Waits for test to hold in the page; a page that loads afresh meanwhile is asked again. */
async function waitUntil(tab, test, failure, ms = 10000) {
  for (const deadline = Date.now() + ms; !(await tab.run(test).catch(() => false)); await sleep(100))
    if (Date.now() > deadline)
      fail(failure);
}
async function waitForMessages(tab, count, what) {
  const deadline = Date.now() + 40000;
  while ((await messages(tab)).length < count) {
    if (Date.now() > deadline)
      fail(`no ${what}: the messages are ${JSON.stringify(await messages(tab))}`);
    await sleep(100);
  }
}

/* ---------------------------------------------------------------- Pictures */

/* Whether the pixel at a point is of the black background rather than the light green of the game's text. */
function dark(png, x, y) {
  const at = (Math.floor(y) * png.width + Math.floor(x)) * 4;
  return Math.max(png.data[at], png.data[at + 1], png.data[at + 2]) < 128;
}

/* Which frame characters have an arm to the right, to the left, down and up. */
const ARMS = { right: "─┌└├┬┴┼", left: "─┐┘┤┬┴┼", down: "│┌┐├┤┬┼", up: "│└┘├┤┴┼" };

/*
 * Reads the first screen's walls and frames off a screenshot: the background
 * pixels on each segment joining the centres of two neighbouring wall cells,
 * and along each joined pair of frame characters the points of the line where
 * no pixel across the line's middle quarter of a cell is lit.
 */
async function seams(page) {
  const png = PNG.sync.read(await page.screenshot());
  const scale = png.width / page.viewportSize().width;
  const [text, rects] = await page.evaluate(() => [zopScreenText(), zopScreenText().map((row, y) =>
    Array.from(row, (_, x) => zopCellRect(x, y)))]);
  const centre = (x, y) => [(rects[y][x].x + rects[y][x].width / 2) * scale,
                            (rects[y][x].y + rects[y][x].height / 2) * scale];
  const found = { wallPairs: 0, wallSeams: 0, framePairs: 0, frameGaps: 0 };
  for (let y = 0; y < text.length; y++) {
    for (let x = 0; x < text[y].length; x++) {
      for (const across of [true, false]) {
        const [nx, ny] = across ? [x + 1, y] : [x, y + 1];
        const a = text[y][x], b = text[ny]?.[nx];
        const wall = a === "█" && b === "█";
        const frame = across ? ARMS.right.includes(a) && ARMS.left.includes(b)
                             : ARMS.down.includes(a) && ARMS.up.includes(b);
        if (!b || !(wall || frame))
          continue;
        found[wall ? "wallPairs" : "framePairs"]++;
        /* Every pixel whose centre lies on the segment, or for a frame within a band across it. */
        const [from, to] = [centre(x, y), centre(nx, ny)];
        const [start, end, middle] = across ? [from[0], to[0], from[1]] : [from[1], to[1], from[0]];
        const band = (across ? rects[y][x].height : rects[y][x].width) * scale / 8;
        const pixelDark = (along, off) => across ? dark(png, along, off) : dark(png, off, along);
        for (let along = Math.ceil(start - 0.5) + 0.5; along <= end; along++) {
          if (wall) {
            found.wallSeams += pixelDark(along, middle);
            continue;
          }
          let lit = 0;
          for (let off = Math.ceil(middle - band - 0.5) + 0.5; off <= middle + band; off++)
            lit += !pixelDark(along, off);
          found.frameGaps += lit === 0;
        }
      }
    }
  }
  return { ...found, png, scale, rects };
}

/* The first screen: the terminal's cell for cell. */
async function checkFirstScreen(tab, size) {
  await waitForMessages(tab, 1, "first screen");
  const shown = (await rows(tab)).map((row) => row.trimEnd());
  for (let y = 0; y < firstScreen.length; y++)
    if (shown[y] !== firstScreen[y])
      fail(`${size}: row ${y} of the first screen is "${shown[y]}", not "${firstScreen[y]}"`);
  const firstScreenMs = await tab.run(() => performance.getEntriesByName("zop-first-screen")[0].startTime);
  console.log(`${size}: the first screen is the terminal's, cell for cell, shown ${firstScreenMs.toFixed(0)} ms ` +
              `after navigation`);
}

/* The first screen's picture: the labels black on light green, walls and frames whole. */
async function checkPixels(page, size) {
  const found = await seams(page);
  if (found.wallPairs < 100 || found.framePairs < 300)
    fail(`${size}: only ${found.wallPairs} wall pairs and ${found.framePairs} frame joins were read`);
  if (found.wallSeams !== 0 || found.frameGaps !== 0)
    fail(`${size}: ${found.wallSeams} background pixels between wall cells, ${found.frameGaps} gaps in frames`);
  for (const x of [16, 18]) { /* the lever labels n and p */
    const cell = found.rects[16][x], s = found.scale, at = (px, py) => !dark(found.png, px, py);
    const lit = at((cell.x + 1) * s, (cell.y + 1) * s);
    let glyph = 0;
    for (let py = Math.ceil(cell.y * s); py < (cell.y + cell.height) * s - 1; py++)
      for (let px = Math.ceil(cell.x * s); px < (cell.x + cell.width) * s - 1; px++)
        glyph += !at(px, py);
    if (!lit || glyph === 0)
      fail(`${size}: the lever label at column ${x} is not black on light green`);
  }
  console.log(`${size}: ${found.wallPairs} wall pairs without a background pixel between, ` +
              `${found.framePairs} frame joins without a gap, the lever labels black on light green`);
}

/* What the status region says: the texts it holds once it has changed (what a reader is given), in window.zopSaid. */
function CollectStatus() {
  const status = document.querySelector("[role=status]"), said = window.zopSaid = [];
  new MutationObserver(() => said.push(...Array.from(status.childNodes, (node) => node.textContent)))
    .observe(status, { childList: true, subtree: true });
}
const WINNER = "Dr. Zop wins: it left you the last marble.";

/*
 * A whole game of 9 marbles, Dr. Zop first, the player taking 2, then 3,
 * each key given by press(name) as Up, Down or a letter, and atPlayerTurn()
 * called at the player's first turn; then the log region holds the message
 * window's lines, and the status region has said each turn's cue and the winner.
 */
async function playWholeGame(tab, press, size, atPlayerTurn = async () => {}) {
  await tab.run(CollectStatus);
  for (let i = 0; i < 6; i++)
    await press("Down");
  await press("N");
  await press("G");
  const turns = ["Zop took: 1", "You took: 2", "Zop took: 1", "You took: 3", "Zop took: 1"];
  for (let turn = 0; turn < turns.length; turn++) {
    await waitForMessages(tab, 4 + turn, turns[turn]);
    if (turn === 0)
      await atPlayerTurn();
    /* The player's next turn: B for each marble, then N, which a third marble makes needless. */
    const taking = turns[turn].startsWith("Zop") ? Number(turns[turn + 1]?.slice(-1) || 0) : 0;
    for (const key of "BBB".slice(0, taking) + (taking % 3 ? "N" : ""))
      await press(key);
  }
  await waitForMessages(tab, 10, "replay question");
  const expected = ["Ready for new game. Waiting key commands...", "Dr. Zop to go first.",
                    "Received Go command.", ...turns, "Dr. Zop wins! Well done, Dr. Zop!",
                    "Would you like to play again?[Y/N/ESC]"];
  const shown = await messages(tab);
  if (JSON.stringify(shown) !== JSON.stringify(expected))
    fail(`${size}: the game's messages are ${JSON.stringify(shown)}`);
  const count = (await rows(tab))[3].slice(19, 21);
  if (count !== "1 ")
    fail(`${size}: the count panel shows "${count}", not 1`);
  const read = await tab.run(() => ({
    log: Array.from(document.querySelectorAll("[role=log] li"), (item) => item.textContent), said: zopSaid }));
  if (JSON.stringify(read.log) !== JSON.stringify(shown))
    fail(`${size}: the log region holds ${JSON.stringify(read.log)}, not the message window's lines`);
  let left = 9; /* marbles before the turn */
  const cues = turns.map((turn) => [turn.startsWith("Zop") ? "Dr. Zop's turn"
    : `Your turn: ${left} marbles; release one to three`, left -= Number(turn.slice(-1))][0]).concat(WINNER);
  const said = read.said.filter((text) => /^(Dr\. Zop's turn|Your turn|You win|Dr\. Zop wins|You ended)/.test(text));
  if (JSON.stringify(said) !== JSON.stringify(cues) || read.said.at(-1) !== WINNER ||
      !read.said.includes("Ball Count 3") || !read.said.join("|").includes("3 of 3 released|Dr. Zop's turn"))
    fail(`${size}: the status region said ${JSON.stringify(read.said)}, not the turns ${JSON.stringify(cues)}`);
  console.log(`${size}: a whole game of 9 marbles: every turn, the winner and the question; the log region ` +
              `holds those lines; the status region said each turn's cue, counts and "${read.said.at(-1)}"`);
}

/* 'n' at the question ends the program, and the page says so; again() starts another game. */
async function endAndPlayAgain(tab, press, again, size) {
  await press("N");
  await waitUntil(tab, () => !document.getElementById("end").hidden,
                  `${size}: the page does not say that the game is over`);
  const said = await tab.run(() => [document.getElementById("end-text").textContent,
                                    document.getElementById("again").getAttribute("aria-describedby")]);
  if (said[0] !== WINNER || said[1] !== "end-text" || (await messages(tab)).length !== 10)
    fail(`${size}: the page says ${JSON.stringify(said)} over the messages ${JSON.stringify(await messages(tab))}`);
  await again();
  await waitUntil(tab, () => document.getElementById("end").hidden, `${size}: another game does not start`);
  await waitForMessages(tab, 1, "first screen of another game");
  const log = await tab.run(() => Array.from(document.querySelectorAll("[role=log] li"), (item) => item.textContent));
  if ((await messages(tab)).length !== 1 || log.length !== 1)
    fail(`${size}: another game starts with the messages ${JSON.stringify(await messages(tab))}, log ${log}`);
  console.log(`${size}: 'n' ends the program, the page says so, and another game starts without a reload`);
}

/* The page's layout shifts in Chromium as it reports them, but those right after an input: 0.05 at most. */
async function checkShift(tab, size) {
  const shift = await tab.run(() => new Promise((done) => {
    let sum = 0;
    new PerformanceObserver((list) => list.getEntries().forEach((entry) => { sum += entry.hadRecentInput ? 0 : entry.value; }))
      .observe({ type: "layout-shift", buffered: true });
    setTimeout(() => done(sum), 200);
  }));
  if (!(shift <= 0.05))
    fail(`${size}: the layout shifted by ${shift}`);
  console.log(`${size}: layout shift ${shift.toFixed(4)}`);
}

/* The errors the page's collector caught. */
async function pageErrors(tab) {
  const caught = await tab.run(() => window.zopErrors);
  if (!Array.isArray(caught))
    fail("the page's error collector did not run");
  return caught;
}

/* ---------------------------------------------------------------- Engines */

/* A tab of a page driven by playwright-core or puppeteer-core, which share these calls. */
function tabOf(page) {
  return { page, run: (fn, arg) => page.evaluate(fn, arg), press: (key) => page.keyboard.press(key),
           click: (selector) => page.click(selector), screenshot: (file) => page.screenshot({ path: file }) };
}

/* Browsers of the test's own beside the engine's, closed at the end. */
const closing = [];
const CHROMIUM = {
  executablePath: "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
};

async function chromium() {
  const browser = await require("playwright-core").chromium.launch(CHROMIUM);
  const requested = new Set();
  return {
    requested, close: () => browser.close(),
    async open(options) {
      const page = await (await browser.newContext(options)).newPage();
      page.on("request", (request) => requested.add(request.url()));
      await page.addInitScript(CountCallbacks);
      await page.goto(origin + "/");
      return tabOf(page);
    },
  };
}

async function firefox() {
  const browser = await require("puppeteer-core").launch({
    browser: "firefox", executablePath: "/usr/bin/firefox-esr", protocol: "webDriverBiDi", headless: true });
  return {
    close: () => browser.close(),
    async open({ viewport }) {
      const page = await browser.newPage();
      await page.setViewport(viewport);
      await page.goto(origin + "/");
      return tabOf(page);
    },
  };
}

/* W3C WebDriver's codes of the keys that are not characters. */
const WEBDRIVER_KEYS = { ArrowUp: "\uE013", ArrowDown: "\uE015" };

async function webkit() {
  const port = await new Promise((found) => {
    const probe = http.createServer().listen(0, "127.0.0.1", () => {
      const { port } = probe.address();
      probe.close(() => found(port));
    });
  });
  const driver = spawn("WebKitWebDriver", [`--port=${port}`], { stdio: "inherit" });
  process.on("exit", () => driver.kill());
  const call = async (method, route, body) => {
    const response = await fetch(`http://127.0.0.1:${port}${route}`,
                                 { method, body: JSON.stringify(body), signal: AbortSignal.timeout(60000) });
    const { value } = await response.json();
    if (!response.ok)
      throw new Error(`WebDriver ${method} ${route}: ${value.error}: ${value.message}`);
    return value;
  };
  for (let tries = 100; !(await call("GET", "/status").catch(() => null))?.ready; await sleep(100))
    if (--tries === 0)
      fail("WebKitWebDriver does not answer");
  const session = "/session/" + (await call("POST", "/session", { capabilities: {} })).sessionId;
  return {
    close: () => call("DELETE", session).finally(() => driver.kill()),
    async open({ viewport }) {
      await call("POST", session + "/url", { url: origin + "/" });
      /* The window's rectangle holds its frame too: grown by the frame, the page has the viewport. */
      const frame = await call("POST", session + "/execute/sync", { script:
        "return [window.outerWidth - window.innerWidth, window.outerHeight - window.innerHeight]", args: [] });
      await call("POST", session + "/window/rect",
                 { width: viewport.width + frame[0], height: viewport.height + frame[1] });
      const find = async (selector) => Object.values(
        await call("POST", session + "/element", { using: "css selector", value: selector }))[0];
      const key = (type, value) => ({ type, value: WEBDRIVER_KEYS[value] || value });
      return {
        run: (fn, arg) => call("POST", session + "/execute/sync",
                               { script: `return (${fn}).apply(null, arguments)`, args: [arg] }),
        press: (value) => call("POST", session + "/actions", { actions: [
          { type: "key", id: "keyboard", actions: [key("keyDown", value), key("keyUp", value)] }] }),
        click: async (selector) => call("POST", `${session}/element/${await find(selector)}/click`, {}),
        screenshot: async (file) =>
          fs.writeFileSync(file, Buffer.from(await call("GET", session + "/screenshot"), "base64")),
      };
    },
  };
}

/* ---------------------------------------------------------------- Runs */

/* At 1280 x 900 in Chromium: the first screen's picture, and no timer while the game waits for a key. */
async function chromiumDesk(page, desk) {
  await checkPixels(page, desk);
  await page.focus("summary"); /* keys typed outside the game are the page's */
  await page.keyboard.press("ArrowUp");
  await page.focus("#screen");
  if ((await page.evaluate(() => zopScreenText()[3])).slice(19, 21) !== "15")
    fail(`${desk}: a key typed in How to play reached the game`);
  await sleep(500);
  const firedBefore = await page.evaluate(() => window.callbacksFired);
  await sleep(3000);
  const fired = (await page.evaluate(() => window.callbacksFired)) - firedBefore;
  if (fired !== 0)
    fail(`${fired} timers or animation frames fired while the game waited 3 s for a key`);
  console.log(`${desk}: waiting 3 s for a key: no timer, no animation frame fired`);
}

/* The phones: their layout checked, and where game is set a whole game tapped. */
const PHONES = [
  { width: 390, height: 844, isMobile: true, deviceScaleFactor: 3, game: true },
  { width: 844, height: 390, isMobile: true, deviceScaleFactor: 3, game: true },
  { width: 360, height: 640 },
];
/* The on-screen keys' names at the player's turn: the others do nothing then. */
const KEY_NAMES = { B: "B, release a marble", N: "N, end your turn", Esc: "Esc, end the game" };

/*
 * The phone's layout: the machine's cells (those shown) and the last message
 * lines at least 14 CSS px high, the messages' text at least 16 px, the keys
 * at least 44 px, all whole on the screen and none over another.
 */
async function checkPhoneLayout(tab, phone, { width, height }) {
  const found = await tab.run(() => {
    const box = (element) => element.getBoundingClientRect().toJSON();
    const cells = zopScreenText().flatMap((row, y) => Array.from(row, (_, x) => zopCellRect(x, y))).filter(Boolean);
    const lines = Array.from(document.querySelectorAll("[role=log] li"), box).slice(-3);
    const machine = { left: Math.min(...cells.map((c) => c.x)), top: Math.min(...cells.map((c) => c.y)),
                      right: Math.max(...cells.map((c) => c.x + c.width)),
                      bottom: Math.max(...cells.map((c) => c.y + c.height)) };
    return { count: zopCellRect(19, 3), cell: Math.min(...cells.map((c) => c.height)), lines,
             font: parseFloat(getComputedStyle(document.querySelector("[role=log] li")).fontSize),
             boxes: [["machine", machine], ["messages", box(document.querySelector("[role=log]"))],
                     ["how to play", box(document.querySelector("summary"))],
                     ...Array.from(document.querySelectorAll("#keys button"), (key) => [key.dataset.key, box(key)])] };
  });
  const within = (inner, outer) => inner.left >= outer.left && inner.top >= outer.top &&
                                   inner.right <= outer.right && inner.bottom <= outer.bottom;
  const line = Math.min(...found.lines.map((each) => each.height));
  if (!found.count || found.cell < 14 || line < 14 || found.font < 16 ||
      !found.lines.every((each) => within(each, found.boxes[1][1])))
    fail(`${phone}: cells ${found.cell} px high (count ${JSON.stringify(found.count)}), message lines ` +
         `${line} px of ${found.font} px text, the last in view: ${JSON.stringify(found.lines)}`);
  for (const [i, [name, box]] of found.boxes.entries())
    if (!within(box, { left: 0, top: 0, right: width, bottom: height }) || (i >= 2 && box.height < 44) ||
        found.boxes.some(([other, b]) => other !== name && Math.min(box.right, b.right) > Math.max(box.left, b.left) &&
                                         Math.min(box.bottom, b.bottom) > Math.max(box.top, b.top)))
      fail(`${phone}: ${name} at ${JSON.stringify(box)} is not whole on the screen, under 44 px or under another`);
  console.log(`${phone}: cells ${found.cell.toFixed(1)} px high, message text ${found.font} px, keys from ` +
              `${Math.min(...found.boxes.slice(3).map(([, b]) => Math.min(b.width, b.height)))} px, none overlapping`);
}

/* By touch alone in Chromium, on phones upright and lying. */
async function chromiumPhones(engine) {
  const tabs = [];
  for (const { width, height, game, ...touch } of PHONES) {
    const phone = `chromium, ${width} x ${height} touch`;
    const tab = await engine.open({ viewport: { width, height }, hasTouch: true, ...touch });
    tabs.push(tab);
    await checkFirstScreen(tab, phone);
    await checkPhoneLayout(tab, phone, { width, height });
    await tab.page.screenshot({ path: screenshotFile.replace(/\.png$/, `-${width}x${height}.png`) });
    if (!game)
      continue;
    const tap = (name) => tab.page.tap(`[data-key=${name}]`);
    await playWholeGame(tab, tap, phone, async () => {
      const names = [...(await tab.page.locator("#keys").ariaSnapshot()).matchAll(/button "([^"]*)"/g)];
      const keys = await tab.page.$$eval("#keys button", (buttons) => buttons.map((button) => button.dataset.key));
      if (names.some(([, name], i) => name !== (KEY_NAMES[keys[i]] || keys[i])))
        fail(`${phone}: at the player's turn the keys are named ${JSON.stringify(names.map(([, name]) => name))}`);
      console.log(`${phone}: at the player's turn the keys are named ${names.map(([, name]) => name).join("; ")}; ` +
                  `the status says "${await tab.run(() => document.querySelector("[role=status]").textContent)}"`);
    });
    await checkPhoneLayout(tab, phone, { width, height });
    await tab.screenshot(screenshotFile.replace(/\.png$/, width < height ? "-touch.png" : "-touch-lying.png"));
    const focused = await tab.run(() => [document.activeElement.tagName, document.activeElement.isContentEditable,
                                         document.querySelectorAll("input, textarea, [contenteditable]").length]);
    if (["INPUT", "TEXTAREA"].includes(focused[0]) || focused[1] || focused[2] !== 0)
      fail(`${phone}: the taps left ${JSON.stringify(focused)} focused, where a soft keyboard opens`);
    await tap("Esc"); /* once: the game goes on, and the key asks for another tap */
    await sleep(300);
    const esc = await tab.run(() => [document.getElementById("end").hidden, document.querySelector("[data-key=Esc]").ariaLabel]);
    if (!esc[0] || !esc[1].includes("again"))
      fail(`${phone}: one tap on Esc leaves the end bar hidden ${esc[0]} and names the key "${esc[1]}"`);
    await endAndPlayAgain(tab, tap, () => tap("Y"), phone);
    await checkShift(tab, phone);
  }
  return tabs;
}

/*
 * Installable with no error; after one visit, with the network cut, a reload
 * shows the first screen and a whole game plays; a newer build's files, once
 * served, replace the old ones whole.  In a profile of its own: Chromium
 * installs nothing from the test's other, incognito, contexts.
 */
async function chromiumOffline(press) {
  const where = "chromium, offline";
  const context = await require("playwright-core").chromium.launchPersistentContext(
    fs.mkdtempSync(path.join(path.dirname(screenshotFile), "profile-")),
    { ...CHROMIUM, viewport: { width: 1280, height: 900 } });
  closing.push(() => context.close());
  const page = context.pages()[0] || await context.newPage();
  await page.goto(origin + "/");
  const tab = tabOf(page);
  const { installabilityErrors } = await (await context.newCDPSession(page)).send("Page.getInstallabilityErrors");
  if (installabilityErrors.length !== 0)
    fail(`${where}: the page cannot be installed: ${JSON.stringify(installabilityErrors)}`);
  await waitUntil(tab, () => Boolean(navigator.serviceWorker.controller), `${where}: no service worker took the page`);
  await context.setOffline(true);
  await page.reload();
  await checkFirstScreen(tab, where);
  await playWholeGame(tab, (name) => press(tab, name), where);
  await context.setOffline(false);
  served = fs.mkdtempSync(path.join(path.dirname(screenshotFile), "newer-"));
  fs.cpSync(pageDir, served, { recursive: true });
  const edit = (file, from, to) => fs.writeFileSync(path.join(served, file),
                                                    fs.readFileSync(path.join(pageDir, file), "utf8").replace(from, to));
  edit("index.html", "<head>", '<head><meta name="zop-newer">');
  edit("sw.js", /const CACHE = "zop-/, 'const CACHE = "zop-newer-');
  await page.reload(); /* the newer worker installs and takes over; the unplayed page loads afresh */
  await waitUntil(tab, () => document.querySelector("meta[name=zop-newer]") !== null,
                  `${where}: the newer build's files do not replace the old ones`, 20000);
  const kept = await tab.run(() => caches.keys());
  if (kept.length !== 1 || !kept[0].startsWith("zop-newer-"))
    fail(`${where}: the caches are ${JSON.stringify(kept)}, not the newer build's alone`);
  await checkFirstScreen(tab, where + ", newer build");
  console.log(`${where}: installable; after one visit a whole game plays with no network; a newer build ` +
              `replaces the old files whole (cache ${kept[0]})`);
  served = pageDir;
  return tab;
}

/* Everything the pages loaded in Chromium: from the test's server alone, within the budget. */
function checkBudget(requested) {
  let total = 0;
  for (const url of requested) {
    if (new URL(url).origin !== origin)
      fail(`the page fetched ${url}, from outside its own folder`);
    const name = new URL(url).pathname;
    const bytes = fs.readFileSync(path.join(pageDir, name === "/" ? "index.html" : name));
    total += zlib.gzipSync(bytes, { level: 9 }).length;
  }
  if (total > BUDGET_GZIP)
    fail(`the page loads ${total} bytes compressed, more than ${BUDGET_GZIP}`);
  console.log(`the page loads ${requested.size} files from its own folder, ${total} bytes compressed`);
}

const engine = await { chromium, firefox, webkit }[engineName]();
try {
  /* With the keyboard, at 1280 x 900. */
  const desk = `${engineName}, 1280 x 900`;
  const tab = await engine.open({ viewport: { width: 1280, height: 900 } });
  await checkFirstScreen(tab, desk);
  const head = await tab.run(() => [document.title, document.querySelector("meta[name=description]")?.content,
                                    document.querySelector("link[rel=icon]")?.href, document.activeElement.id,
                                    document.querySelector("#keys button").getClientRects().length]);
  if (head[0] !== "Game of Zop" || !head[1] || !head[2]?.endsWith(".svg") || head[3] !== "screen" || head[4] !== 0)
    fail(`${desk}: title, description, icon, focus and hidden keys are ${JSON.stringify(head)}`);
  if (engineName === "chromium")
    await chromiumDesk(tab.page, desk);
  const keys = { Up: "ArrowUp", Down: "ArrowDown" };
  const typeIn = (into, name) => into.press(keys[name] || name.toLowerCase());
  const type = (name) => typeIn(tab, name);
  await playWholeGame(tab, type, desk);
  await tab.screenshot(screenshotFile);
  await endAndPlayAgain(tab, type, () => tab.click("#again"), desk);
  const tabs = [tab];
  if (engineName === "chromium") {
    await checkShift(tab, desk);
    tabs.push(...await chromiumPhones(engine));
    checkBudget(engine.requested);
    tabs.push(await chromiumOffline(typeIn));
  }
  const errors = [];
  for (const each of tabs)
    errors.push(...await pageErrors(each));
  if (errors.length > 0)
    fail(`${engineName}: the page reported errors: ${JSON.stringify(errors)}`);
  console.log(`${engineName}: the page raised no error`);
} catch (error) {
  if (process.exitCode !== 1) {
    console.log("FAIL: " + error.message);
    process.exitCode = 1;
  }
} finally {
  await Promise.all(closing.map((close) => close()));
  await engine.close();
  server.close();
}
