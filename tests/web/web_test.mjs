/*
 * The game in a web page, in a real browser (headless Chromium, driven by
 * playwright-core), served from 127.0.0.1 by a server of this test's own.
 * The screen is read through the terminal's buffer.
 *
 *   node web_test.mjs PAGE_DIR FIRST_SCREEN_FILE SCREENSHOT.png NPM_DIR
 *
 * NPM_DIR is where npm installed web/package.json's packages (make web's
 * WEB_NPM_DIR), playwright-core among them.
 *
 * The first screen is the terminal's first screen at 81 x 46, cell for cell,
 * with the lever labels black on light green; while the game waits for a key
 * no timer and no animation frame fires; a whole game of 9 marbles ('N', the
 * player taking 2 each turn) shows every turn and the winner, 'n' at the
 * question ends the program and the page says so, and another game starts
 * without a reload.  The screenshot is taken at the question.
 */
import { createRequire } from "node:module";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";

const [pageDir, firstScreenFile, screenshotFile, npmDir] = process.argv.slice(2);
const require = createRequire(path.resolve(npmDir, "package.json"));
const { chromium } = require("playwright-core");
const firstScreen = fs.readFileSync(firstScreenFile, "utf8").replace(/\n$/, "").split("\n");

function fail(message) {
  console.log("FAIL: " + message);
  process.exitCode = 1;
  throw new Error(message);
}

/* ---------------------------------------------------------------- Server */

const types = { ".html": "text/html; charset=utf-8", ".js": "text/javascript",
                ".css": "text/css", ".wasm": "application/wasm" };
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

const browser = await chromium.launch({
  executablePath: "/usr/bin/chromium", headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"],
});
const errors = [];
try {
  const page = await browser.newPage({ viewport: { width: 1280, height: 900 } });
  page.on("pageerror", (error) => errors.push(error.message));
  await page.addInitScript(CountCallbacks);
  await page.goto(`http://127.0.0.1:${server.address().port}/`);

  const rows = () => page.evaluate(() => {
    const buffer = zopTerminal.buffer.active, lines = [];
    for (let y = 0; y < zopTerminal.rows; y++)
      lines.push(buffer.getLine(y).translateToString(true));
    return lines;
  });
  /* The message window's lines that are not blank, oldest first. */
  const messages = async () => (await rows()).slice(24, 44).map((row) => row.slice(3, 79).trimEnd())
                                             .filter((line) => line !== "");
  const waitForMessages = async (count, what) => {
    const deadline = Date.now() + 40000;
    while ((await messages()).length < count) {
      if (Date.now() > deadline)
        fail(`no ${what}: the messages are ${JSON.stringify(await messages())}`);
      await page.waitForTimeout(100);
    }
  };

  /* The first screen, cell for cell, and the labels' colours. */
  await waitForMessages(1, "first screen");
  const shown = await rows();
  for (let y = 0; y < firstScreen.length; y++)
    if (shown[y] !== firstScreen[y])
      fail(`row ${y} of the first screen is "${shown[y]}", not "${firstScreen[y]}"`);
  if ((await page.title()) !== "Game of Zop")
    fail(`the page's title is "${await page.title()}"`);
  const labels = await page.evaluate(() => [16, 18].map((x) => {
    const cell = zopTerminal.buffer.active.getLine(16).getCell(x);
    return { glyph: cell.getChars(), fg: cell.isFgPalette() ? cell.getFgColor() : -1,
             bg: cell.isBgPalette() ? cell.getBgColor() : -1 };
  }));
  if (JSON.stringify(labels) !== JSON.stringify([{ glyph: "n", fg: 0, bg: 10 }, { glyph: "p", fg: 0, bg: 10 }]))
    fail(`the lever labels are ${JSON.stringify(labels)}, not black on light green`);
  console.log("first screen: the terminal's, cell for cell, the labels black on light green");

  /* Waiting for a key, the page does nothing. */
  await page.waitForTimeout(1000); /* the terminal's own drawing of the first screen settles */
  const firedBefore = await page.evaluate(() => window.callbacksFired);
  await page.waitForTimeout(3000);
  const fired = (await page.evaluate(() => window.callbacksFired)) - firedBefore;
  if (fired !== 0)
    fail(`${fired} timers or animation frames fired while the game waited 3 s for a key`);
  console.log("waiting 3 s for a key: no timer, no animation frame fired");

  /* A whole game: 9 marbles, Dr. Zop first, the player taking 2 each turn. */
  for (let i = 0; i < 6; i++)
    await page.keyboard.press("ArrowDown");
  await page.keyboard.press("n");
  await page.keyboard.press("g");
  const turns = ["Zop took: 1", "You took: 2", "Zop took: 1", "You took: 2", "Zop took: 2"];
  for (let turn = 0; turn < turns.length; turn++) {
    await waitForMessages(4 + turn, turns[turn]);
    if (turns[turn].startsWith("Zop") && turn < turns.length - 1)
      for (const key of ["b", "b", "n"])
        await page.keyboard.press(key);
  }
  await waitForMessages(10, "replay question");
  const expected = ["Ready for new game. Waiting key commands...", "Dr. Zop to go first.",
                    "Received Go command.", ...turns, "Dr. Zop wins! Well done, Dr. Zop!",
                    "Would you like to play again?[Y/N/ESC]"];
  if (JSON.stringify(await messages()) !== JSON.stringify(expected))
    fail(`the game's messages are ${JSON.stringify(await messages())}`);
  if ((await rows())[3].slice(19, 21) !== "1 ")
    fail(`the count panel shows "${(await rows())[3].slice(19, 21)}", not 1`);
  await page.screenshot({ path: screenshotFile });
  console.log("a whole game of 9 marbles: every turn, the winner and the question");

  /* 'n' ends the program, and the page says so and offers another game. */
  await page.keyboard.press("n");
  await page.waitForSelector("#end:not([hidden])", { timeout: 10000 })
    .catch(() => fail("the page does not say that the game is over"));
  const said = await page.textContent("#end-text");
  if (said !== "The game is over.")
    fail(`the page says "${said}"`);
  await page.click("#again");
  await page.waitForSelector("#end[hidden]", { state: "attached", timeout: 10000 });
  await waitForMessages(1, "first screen of another game");
  if ((await messages()).length !== 1)
    fail(`another game starts with the messages ${JSON.stringify(await messages())}`);
  console.log("'n' ends the program, the page says so, and another game starts without a reload");
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
