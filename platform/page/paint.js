/*
 * The picture's worker: draws the console's cells on the canvas the page
 * handed it (screen.js), off the page's thread.  It takes the Painter's calls
 * as messages, [method, ...arguments], the first of them the canvas, and says
 * when it has first drawn.
 */
import { Painter } from "./screen.js";

let painter = null, drawn = false;
addEventListener("message", ({ data: [method, ...args] }) => {
  if (method === "canvas") {
    painter = new Painter(args[0]);
    return;
  }
  painter[method](...args);
  if (method === "paint" && !drawn) {
    drawn = true;
    postMessage("drawn");
  }
});
