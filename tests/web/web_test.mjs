/*
 * The game in a web page, in a real browser (headless Chromium, driven by
 * playwright-core), served from 127.0.0.1 by a server of this test's own.
 * The screen is read through the page's window.zopScreenText() and its cells
 * located by window.zopCellRect(); colours and seams are read off screenshots.
 *
 *   node web_test.mjs PAGE_DIR FIRST_SCREEN_FILE SCREENSHOT.png NPM_DIR
 *
 * NPM_DIR is where npm installed web/package.json's packages (web_test.sh
 * does), playwright-core and pngjs among them.
 *
 * Played twice: with the keyboard at 1280 x 900, and by tapping the on-screen
 * keys alone on a phone of 390 x 844 (touch, device pixel ratio 3).  Each
 * time the first screen is the terminal's first screen at 81 x 46, cell for
 * cell, with the lever labels black on light green, solid walls and joined
 * frames; a whole game of 9 marbles ('N', the player taking 2 each turn)
 * shows every turn and the winner, and the log region holds exactly the
 * message window's lines and the status the count panel's count; 'n' at the
 * question ends the program, the page says so, and another game starts
 * without a reload.  At 1280 x 900, while the game waits for a key no timer
 * and no animation frame fires.  The page fetches nothing but its own files,
 * at most 150 KB compressed.  The screenshot is taken at the question.
 */
import { createRequire } from "node:module";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import zlib from "node:zlib";

const [pageDir, firstScreenFile, screenshotFile, npmDir] = process.argv.slice(2);
const require = createRequire(path.resolve(npmDir, "package.json"));
const { chromium } = require("playwright-core");
const { PNG } = require("pngjs");
const firstScreen = fs.readFileSync(firstScreenFile, "utf8").replace(/\n$/, "").split("\n");
const BUDGET_GZIP = 150 * 1000;

function fail(message) {
  console.log("FAIL: " + message);
  process.exitCode = 1;
  throw new Error(message);
}

/* ---------------------------------------------------------------- Server */

const types = { ".html": "text/html; charset=utf-8", ".js": "text/javascript",
                ".svg": "image/svg+xml", ".wasm": "application/wasm" };
const server = http.createServer((request, response) => {
  const name = path.normalize(decodeURIComponent(new URL(request.url, "http://page").pathname));
  const file = path.resolve(pageDir, "." + (name === "/" ? "/index.html" : name));
  if (!file.startsWith(path.resolve(pageDir))) {
    response.writeHead(403).end();
    return;
  }
  fs.readFile(file, (error, data) => {
    if (error) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
    response.end(data);
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

const rows = (page) => page.evaluate(() => zopScreenText());
/* The message window's lines that are not blank, oldest first. */
const messages = async (page) => (await rows(page)).slice(24, 44).map((row) => row.slice(3, 79).trimEnd())
                                                   .filter((line) => line !== "");
async function waitForMessages(page, count, what) {
  const deadline = Date.now() + 40000;
  while ((await messages(page)).length < count) {
    if (Date.now() > deadline)
      fail(`no ${what}: the messages are ${JSON.stringify(await messages(page))}`);
    await page.waitForTimeout(100);
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

/* The first screen: the terminal's cell for cell, the labels black on light green, walls and frames whole. */
async function checkFirstScreen(page, size) {
  await waitForMessages(page, 1, "first screen");
  const shown = (await rows(page)).map((row) => row.trimEnd());
  for (let y = 0; y < firstScreen.length; y++)
    if (shown[y] !== firstScreen[y])
      fail(`${size}: row ${y} of the first screen is "${shown[y]}", not "${firstScreen[y]}"`);
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
  const firstScreenMs = await page.evaluate(() => performance.getEntriesByName("zop-first-screen")[0].startTime);
  console.log(`${size}: the first screen is the terminal's, cell for cell, shown ${firstScreenMs.toFixed(0)} ms ` +
              `after navigation; ${found.wallPairs} wall pairs without a background pixel between, ` +
              `${found.framePairs} frame joins without a gap`);
}

/*
 * A whole game of 9 marbles, Dr. Zop first, the player taking 2 each turn,
 * each key given by press(name) as Up, Down or a letter; then the log region
 * and the status are the message window's lines and the count panel's count.
 */
async function playWholeGame(page, press, size) {
  for (let i = 0; i < 6; i++)
    await press("Down");
  await press("N");
  await press("G");
  const turns = ["Zop took: 1", "You took: 2", "Zop took: 1", "You took: 2", "Zop took: 2"];
  for (let turn = 0; turn < turns.length; turn++) {
    await waitForMessages(page, 4 + turn, turns[turn]);
    if (turns[turn].startsWith("Zop") && turn < turns.length - 1)
      for (const key of ["B", "B", "N"])
        await press(key);
  }
  await waitForMessages(page, 10, "replay question");
  const expected = ["Ready for new game. Waiting key commands...", "Dr. Zop to go first.",
                    "Received Go command.", ...turns, "Dr. Zop wins! Well done, Dr. Zop!",
                    "Would you like to play again?[Y/N/ESC]"];
  const shown = await messages(page);
  if (JSON.stringify(shown) !== JSON.stringify(expected))
    fail(`${size}: the game's messages are ${JSON.stringify(shown)}`);
  const count = (await rows(page))[3].slice(19, 21);
  if (count !== "1 ")
    fail(`${size}: the count panel shows "${count}", not 1`);
  const read = await page.evaluate(() => ({
    log: Array.from(document.querySelectorAll("[role=log] li"), (item) => item.textContent),
    status: document.querySelector("[role=status]").textContent }));
  if (JSON.stringify(read.log) !== JSON.stringify(shown))
    fail(`${size}: the log region holds ${JSON.stringify(read.log)}, not the message window's lines`);
  if (read.status !== "Ball Count " + count.trim())
    fail(`${size}: the status says "${read.status}", not the count panel's ${count.trim()}`);
  console.log(`${size}: a whole game of 9 marbles: every turn, the winner and the question; ` +
              `the log region holds those lines and the status says "${read.status}"`);
}

/* 'n' at the question ends the program, and the page says so; again() starts another game. */
async function endAndPlayAgain(page, press, again, size) {
  await press("N");
  await page.waitForSelector("#end:not([hidden])", { timeout: 10000 })
    .catch(() => fail(`${size}: the page does not say that the game is over`));
  const said = await page.textContent("#end-text");
  if (said !== "The game is over.")
    fail(`${size}: the page says "${said}"`);
  await again();
  await page.waitForSelector("#end[hidden]", { state: "attached", timeout: 10000 });
  await waitForMessages(page, 1, "first screen of another game");
  const log = await page.$$eval("[role=log] li", (items) => items.map((item) => item.textContent));
  if ((await messages(page)).length !== 1 || log.length !== 1)
    fail(`${size}: another game starts with the messages ${JSON.stringify(await messages(page))}, log ${log}`);
  console.log(`${size}: 'n' ends the program, the page says so, and another game starts without a reload`);
}

/* ---------------------------------------------------------------- Runs */

const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
const errors = [], requested = new Set();

async function open(options) {
  const page = await (await browser.newContext(options)).newPage();
  page.on("pageerror", (error) => errors.push(error.message));
  page.on("request", (request) => requested.add(request.url()));
  await page.addInitScript(CountCallbacks);
  await page.goto(origin + "/");
  return page;
}

try {
  /* With the keyboard, at 1280 x 900. */
  const desk = "1280 x 900";
  const page = await open({ viewport: { width: 1280, height: 900 } });
  await checkFirstScreen(page, desk);
  const head = await page.evaluate(() => [document.title, document.querySelector("meta[name=description]")?.content,
                                          document.querySelector("link[rel=icon]")?.href, document.activeElement.id,
                                          document.querySelector("#keys button").getClientRects().length]);
  if (head[0] !== "Game of Zop" || !head[1] || !head[2]?.endsWith(".svg") || head[3] !== "screen" || head[4] !== 0)
    fail(`${desk}: title, description, icon, focus and hidden keys are ${JSON.stringify(head)}`);
  await page.waitForTimeout(500);
  const firedBefore = await page.evaluate(() => window.callbacksFired);
  await page.waitForTimeout(3000);
  const fired = (await page.evaluate(() => window.callbacksFired)) - firedBefore;
  if (fired !== 0)
    fail(`${fired} timers or animation frames fired while the game waited 3 s for a key`);
  console.log(`${desk}: waiting 3 s for a key: no timer, no animation frame fired`);
  const keys = { Up: "ArrowUp", Down: "ArrowDown" };
  const type = (name) => page.keyboard.press(keys[name] || name.toLowerCase());
  await playWholeGame(page, type, desk);
  await page.screenshot({ path: screenshotFile });
  await endAndPlayAgain(page, type, () => page.click("#again"), desk);

  /* By touch alone, on a phone held upright. */
  const phone = "390 x 844 touch";
  const touch = await open({ viewport: { width: 390, height: 844 }, hasTouch: true, isMobile: true,
                             deviceScaleFactor: 3 });
  await checkFirstScreen(touch, phone);
  const boxes = await touch.$$eval("#keys button, #picture", (elements) => elements.map((element) =>
    [element.dataset.key || element.id, element.getBoundingClientRect().toJSON()]));
  for (const [name, box] of boxes)
    if (box.left < 0 || box.top < 0 || box.right > 390 || box.bottom > 844 ||
        (name !== "picture" && (box.width < 44 || box.height < 44)))
      fail(`${phone}: ${name} lies at ${JSON.stringify(box)}, not whole on the screen or under 44 px`);
  const tap = (name) => touch.tap(`[data-key=${name}]`);
  await playWholeGame(touch, tap, phone);
  await touch.screenshot({ path: screenshotFile.replace(/\.png$/, "-touch.png") });
  const focused = await touch.evaluate(() => [document.activeElement.tagName, document.activeElement.isContentEditable,
                                              document.querySelectorAll("input, textarea, [contenteditable]").length]);
  if (["INPUT", "TEXTAREA"].includes(focused[0]) || focused[1] || focused[2] !== 0)
    fail(`${phone}: the taps left ${JSON.stringify(focused)} focused, where a soft keyboard opens`);
  await endAndPlayAgain(touch, tap, () => tap("Y"), phone);

  /* Everything both pages loaded: from the test's server alone, within the budget. */
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
  if (errors.length > 0)
    fail(`the page reported errors: ${JSON.stringify(errors)}`);
} catch (error) {
  if (process.exitCode !== 1) {
    console.log("FAIL: " + error.message);
    process.exitCode = 1;
  }
} finally {
  await browser.close();
  server.close();
}
