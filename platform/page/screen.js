/*
 * The game's picture: the console's cells drawn on a canvas, a whole number
 * of device pixels per cell so that neighbouring cells meet without a seam.
 * Block elements and box-drawing characters are filled rectangles computed
 * from the cell's box, so walls are solid and frames join at every size;
 * every other glyph comes from a local monospace font, cut to its cell only
 * if it would reach out of it.  The console's size, its attribute bits and how
 * a cell is packed are the program's, told at open.  The canvas shows the
 * whole console, or one part of it (a rectangle of cells) at larger cells.
 *
 * Screen, on the page's thread, keeps the cells, sizes the canvas and places
 * it; Painter draws on it.  Where the browser can hand a canvas to a worker, a
 * painter runs there (paint.js) on a canvas laid over the page's, so that a
 * step of the game costs the page's thread no frame, no paint and no copy of
 * the canvas.  The worker starts after the first picture, which it would
 * delay; until it has drawn (and where there is none) the page's thread
 * draws, at the next animation frame.  Either way only the cells that changed
 * are drawn.
 */

/* A cell's width to its height, about that of the font's glyphs and lines. */
const CELL_RATIO = 0.55;
const FONT = '"Liberation Mono", "DejaVu Sans Mono", Menlo, Consolas, monospace';

/*
 * The box-drawing characters of code page 437: the weight of each arm, up,
 * right, down and left (0 none, 1 single, 2 double).
 */
const BOXES = new Map([
  [0x2500, "0101"], [0x2502, "1010"], [0x250C, "0110"], [0x2510, "0011"], [0x2514, "1100"],
  [0x2518, "1001"], [0x251C, "1110"], [0x2524, "1011"], [0x252C, "0111"], [0x2534, "1101"],
  [0x253C, "1111"], [0x2550, "0202"], [0x2551, "2020"], [0x2552, "0210"], [0x2553, "0120"],
  [0x2554, "0220"], [0x2555, "0012"], [0x2556, "0021"], [0x2557, "0022"], [0x2558, "1200"],
  [0x2559, "2100"], [0x255A, "2200"], [0x255B, "1002"], [0x255C, "2001"], [0x255D, "2002"],
  [0x255E, "1210"], [0x255F, "2120"], [0x2560, "2220"], [0x2561, "1012"], [0x2562, "2021"],
  [0x2563, "2022"], [0x2564, "0212"], [0x2565, "0121"], [0x2566, "0222"], [0x2567, "1202"],
  [0x2568, "2101"], [0x2569, "2202"], [0x256A, "1212"], [0x256B, "2121"], [0x256C, "2222"],
].map(([code, arms]) => [code, Array.from(arms, Number)]));

/* Block elements as the part of the cell they fill: [left, top, right, bottom] in halves. */
const BLOCKS = new Map([
  [0x2588, [0, 0, 2, 2]], [0x2580, [0, 0, 2, 1]], [0x2584, [0, 1, 2, 2]],
  [0x258C, [0, 0, 1, 2]], [0x2590, [1, 0, 2, 2]],
]);
/* The shades, by their share of the text colour mixed into the background. */
const SHARES = [0.25, 0.5, 0.75];
const SHADES = new Map([[0x2591, 0], [0x2592, 1], [0x2593, 2]]);

/* The console's colour of a red, green, blue and intensity bit, as channels: half or full,
   but the three at half are light grey and intensity alone dark grey. */
function colour([red, green, blue, bright]) {
  if (red && green && blue && !bright)
    return [0xc0, 0xc0, 0xc0];
  if (!red && !green && !blue && bright)
    return [0x80, 0x80, 0x80];
  return [red, green, blue].map((lit) => (lit ? (bright ? 0xff : 0x80) : 0));
}

/* A CSS colour of channels, mixed with another: share 0 is the first, 1 the second. */
function css(first, second = first, share = 0) {
  const [red, green, blue] = first.map((value, i) => Math.round(value * (1 - share) + second[i] * share));
  return `rgb(${red},${green},${blue})`;
}


/* Draws cells on a canvas, an element's or one handed to a worker: only those that changed. */
export class Painter {
  constructor(canvas) {
    this.canvas = canvas;
    this.context = canvas.getContext("2d", { alpha: false });
    this.attributes = null; /* the attribute bits */
    this.shift = 0; /* a cell is its glyph's code point below this bit, its attribute from it */
    this.glyphMask = 0; /* the code point's bits */
    this.styles = new Map(); /* an attribute to its colours */
    this.overflows = new Map(); /* a glyph to whether it reaches out of its cell */
    this.cells = this.shown = new Uint32Array(0); /* what is to be drawn, what the canvas shows */
    this.whole = true; /* the canvas is to be drawn whole */
    this.cellWidth = this.cellHeight = 0; /* in device pixels */
  }

  /* Takes the console's attribute bits and the bit a cell's attribute starts at. */
  open(attributes, shift) {
    this.attributes = attributes;
    this.shift = shift;
    this.glyphMask = 2 ** shift - 1;
    this.styles.clear();
  }

  /* Cells of a new size on a canvas of a new size, to draw whole, and their font. */
  size(width, height, cellWidth, cellHeight) {
    this.cellWidth = cellWidth;
    this.cellHeight = cellHeight;
    this.canvas.width = width;
    this.canvas.height = height;
    const context = this.context; /* which the new size has reset */
    context.font = `${Math.min(cellHeight * 0.85, cellWidth / 0.6)}px ${FONT}`;
    context.textAlign = "center";
    context.textBaseline = "middle";
    this.overflows.clear();
    this.whole = true;
  }

  /* Draws the cells (the whole console, a row of columns after another, which the painter keeps)
     of the view that differ from what the canvas shows, a row at a time: the backgrounds, a run
     of one colour in one rectangle, then what stands on them. */
  paint(cells, columns, { left, top, columns: across, rows }, whole) {
    whole = whole || this.whole || this.shown.length !== cells.length;
    this.whole = false;
    this.cells = cells;
    const shown = this.shown;
    for (let row = 0; row < rows; row++) {
      const first = (top + row) * columns + left, end = first + across;
      this.fillRuns(row, first, end, whole);
      for (let i = first; i < end; i++)
        if (whole || shown[i] !== cells[i])
          this.drawCell(i - first, row, cells[i]);
    }
    this.shown = cells;
  }

  /* Fills the backgrounds of a row of the canvas's changed cells (all if whole), cells first to
     end of the console, a run of one colour at once. */
  fillRuns(row, first, end, whole) {
    const cells = this.cells, shown = this.shown, width = this.cellWidth, height = this.cellHeight;
    let start = first, fill = null;
    for (let i = first; i <= end; i++) {
      let next = null;
      if (i < end && (whole || shown[i] !== cells[i]))
        next = i > first && cells[i] === cells[i - 1] && fill !== null ? fill : this.background(cells[i]);
      if (next === fill)
        continue;
      if (fill !== null) {
        this.context.fillStyle = fill;
        this.context.fillRect((start - first) * width, row * height, (i - start) * width, height);
      }
      start = i;
      fill = next;
    }
  }

  /* An attribute's colours, worked out once: background, foreground and shades. */
  style(attribute) {
    let style = this.styles.get(attribute);
    if (!style) {
      const { foreground, background, reverse } = this.attributes;
      let [text, back] = [foreground, background].map((bits) => colour(bits.map((bit) => attribute & bit)));
      if (attribute & reverse)
        [text, back] = [back, text];
      style = { background: css(back), foreground: css(text),
                shades: SHARES.map((share) => css(back, text, share)) };
      this.styles.set(attribute, style);
    }
    return style;
  }

  /* The colour a cell is filled with: its background, or a shade's mix. */
  background(cell) {
    const style = this.style(cell >>> this.shift), shade = SHADES.get(cell & this.glyphMask);
    return shade === undefined ? style.background : style.shades[shade];
  }

  /* Draws what stands on a cell's background: a block, a frame, a glyph, a line under. */
  drawCell(column, row, cell) {
    const code = cell & this.glyphMask, attribute = cell >>> this.shift;
    const underscore = attribute & this.attributes.underscore;
    if ((code <= 0x20 || SHADES.has(code)) && !underscore)
      return;
    const context = this.context, width = this.cellWidth, height = this.cellHeight;
    const x = column * width, y = row * height;
    context.fillStyle = this.style(attribute).foreground;
    const thickness = Math.max(1, Math.round(width / 8));
    if (BLOCKS.has(code)) {
      const [left, top, right, bottom] = BLOCKS.get(code).map((half, i) =>
        Math.floor(half * (i % 2 ? height : width) / 2));
      context.fillRect(x + left, y + top, right - left, bottom - top);
    } else if (BOXES.has(code)) {
      this.drawBox(x, y, BOXES.get(code), thickness);
    } else if (code > 0x20 && !SHADES.has(code)) {
      this.drawGlyph(x, y, String.fromCharCode(code));
    }
    if (underscore)
      context.fillRect(x, y + height - thickness, width, thickness);
  }

  /* Draws a glyph in the middle of its cell, cut to it only if it would reach out (measured once). */
  drawGlyph(x, y, glyph) {
    const context = this.context, width = this.cellWidth, height = this.cellHeight;
    if (!this.overflows.has(glyph)) {
      const box = context.measureText(glyph);
      this.overflows.set(glyph, !(box.actualBoundingBoxLeft <= width / 2 && box.actualBoundingBoxRight <= width / 2 &&
                                  box.actualBoundingBoxAscent <= height / 2 &&
                                  box.actualBoundingBoxDescent <= height / 2));
    }
    if (!this.overflows.get(glyph)) {
      context.fillText(glyph, x + width / 2, y + height / 2);
      return;
    }
    context.save();
    context.beginPath();
    context.rect(x, y, width, height);
    context.clip();
    context.fillText(glyph, x + width / 2, y + height / 2);
    context.restore();
  }

  /*
   * Draws a box-drawing character's arms from the cell's edges to its middle.
   * A single arm is one stroke through the middle, and it reaches across the
   * middle stroke of the other direction, so that corners and crossings join;
   * a double arm is two strokes a stroke apart, reaching across both.
   */
  drawBox(x, y, [up, right, down, left], thickness) {
    const width = this.cellWidth, height = this.cellHeight, context = this.context;
    const middleX = Math.floor((width - thickness) / 2), middleY = Math.floor((height - thickness) / 2);
    const double = up === 2 || right === 2 || down === 2 || left === 2;
    /* The stroke offsets of an arm of each weight, and how far the middle band reaches. */
    const strokes = [[], [0], [-thickness, thickness]];
    const reach = double ? thickness : 0;
    for (const offset of strokes[left])
      context.fillRect(x, y + middleY + offset, middleX + thickness + reach, thickness);
    for (const offset of strokes[right])
      context.fillRect(x + middleX - reach, y + middleY + offset, width - middleX + reach, thickness);
    for (const offset of strokes[up])
      context.fillRect(x + middleX + offset, y, thickness, middleY + thickness + reach);
    for (const offset of strokes[down])
      context.fillRect(x + middleX + offset, y + middleY - reach, thickness, height - middleY + reach);
  }
}

/*
 * A painter in a worker (paint.js), on a canvas of its own laid over the page's,
 * hidden until the worker tells (drawn) that it has drawn there; its errors told
 * on the page's console.  Null where no canvas can be handed to a worker.
 */
function workerPainter(canvas, drawn) {
  if (!canvas.transferControlToOffscreen || typeof Worker === "undefined")
    return null;
  const layer = Object.assign(document.createElement("canvas"), { hidden: true });
  layer.setAttribute("aria-hidden", "true");
  canvas.after(layer);
  const worker = new Worker(new URL("paint.js", import.meta.url), { type: "module" });
  worker.addEventListener("error", (event) => console.error("the picture's painter: " + event.message));
  worker.addEventListener("message", drawn, { once: true });
  const offscreen = layer.transferControlToOffscreen();
  worker.postMessage(["canvas", offscreen], [offscreen]);
  /* A call of the painter's, its cells handed over rather than copied. */
  const call = (method) => (...args) => worker.postMessage([method, ...args],
    args.filter((arg) => arg instanceof Uint32Array).map((cells) => cells.buffer));
  return { layer, open: call("open"), size: call("size"), paint: call("paint") };
}

export class Screen {
  constructor(canvas) {
    this.canvas = canvas;
    /* The page's thread draws, at animation frames, until a worker started after the first
       picture (so as not to delay it) has drawn; the worker from then on, at each present. */
    this.local = new Painter(canvas);
    this.worker = null;
    this.canvases = [canvas]; /* the page's canvas and the worker's, sized and placed alike */
    this.attributes = null; /* the attribute bits, for a worker started later */
    this.shift = 0; /* the bit a cell's attribute starts at */
    this.glyphMask = 0; /* a cell's bits of its glyph's code point */
    this.columns = this.rows = 0; /* none before the program opens its screen */
    this.cells = this.kept = new Uint32Array(0); /* what was presented, and before this task */
    this.presenting = false; /* the program has presented in this task */
    this.presented = false; /* the program has presented since the page was opened */
    this.part = null; /* the part shown, {left, top, right, bottom} in cells, or null: the whole */
    this.view = { left: 0, top: 0, columns: 0, rows: 0 }; /* the cells the canvas shows */
    this.whole = true; /* the canvas is to be drawn whole */
    this.frame = 0; /* the animation frame that draws what was presented, or 0 */
    this.cellWidth = this.cellHeight = 0; /* in device pixels */
    this.pixels = { width: 0, height: 0 }; /* the canvas's device pixels */
    this.scale = 1; /* device pixels per CSS pixel */
    this.box = { width: 0, height: 0 }; /* the CSS pixels the canvas may take */
    this.followScale();
  }

  /* Takes the console's size, attribute bits and packing of cells, when the program opens its screen. */
  open({ columns, rows, attributes, attributeShift }) {
    this.attributes = attributes;
    this.shift = attributeShift;
    this.glyphMask = 2 ** attributeShift - 1;
    for (const painter of this.painters())
      painter.open(attributes, attributeShift);
    this.resize(columns, rows);
  }

  /* The painters that draw now: the page's thread's, the worker's, or both. */
  painters() {
    return [this.local, this.worker].filter(Boolean);
  }

  /* Hides the picture, or shows it (the worker's canvas once it has drawn). */
  hide(hidden) {
    this.canvas.hidden = hidden;
    if (this.worker)
      this.worker.layer.hidden = hidden || Boolean(this.local);
  }

  /* Takes the console's cells (code point | attribute << shift): drawn by the worker at once, or
     else at the next animation frame. */
  present(cells, columns, rows) {
    this.resize(columns, rows);
    if (!this.presenting) {
      this.kept.set(this.cells);
      this.presenting = true;
      queueMicrotask(() => { this.presenting = false; });
    }
    this.cells.set(cells);
    if (!this.local)
      this.draw();
    else if (!this.frame)
      this.frame = requestAnimationFrame(() => this.draw());
    this.presented = true;
  }

  /* Starts the worker, where a canvas can be handed to one, told all the page's painter was:
     once, after the first picture presented is drawn. */
  startWorker() {
    if (this.worker !== null)
      return;
    this.worker = workerPainter(this.canvas, () => {
      this.local = null;
      this.worker.layer.hidden = this.canvas.hidden;
    });
    if (!this.worker) {
      this.worker = false; /* none: the page's thread draws on */
      return;
    }
    this.canvases.push(this.worker.layer);
    this.worker.open(this.attributes, this.shift);
    this.worker.size(this.pixels.width, this.pixels.height, this.cellWidth, this.cellHeight);
    this.layout();
    this.worker.paint(this.cells.slice(), this.columns, this.view, true);
  }

  /* Takes a console of another size, blank until presented. */
  resize(columns, rows) {
    if (columns === this.columns && rows === this.rows)
      return;
    this.columns = columns;
    this.rows = rows;
    this.cells = new Uint32Array(columns * rows);
    this.kept = new Uint32Array(columns * rows);
    this.show(this.part);
  }

  /* Shows a part of the console alone, {left, top, right, bottom} in cells (null: the whole),
     drawn whole at once; a part that does not lie within the console shows the whole. */
  show(part) {
    this.part = part;
    const within = part && part.left >= 0 && part.top >= 0 && part.left <= part.right &&
                   part.top <= part.bottom && part.right < this.columns && part.bottom < this.rows;
    this.view = within ? { left: part.left, top: part.top, columns: part.right - part.left + 1,
                           rows: part.bottom - part.top + 1 }
                       : { left: 0, top: 0, columns: this.columns, rows: this.rows };
    this.whole = true;
    this.layout();
    this.draw();
  }

  /* Keeps the picture presented before this task: what the task presented (the program's screen
     cleared as it ends) is dropped. */
  keep() {
    this.cells.set(this.kept);
    this.draw();
  }

  /* Hands the painter what was presented, and what of it the view shows: drawn at once. */
  draw() {
    cancelAnimationFrame(this.frame);
    this.frame = 0;
    if (!this.view.columns || !this.cellWidth)
      return;
    for (const painter of this.painters())
      painter.paint(this.cells.slice(), this.columns, this.view, this.whole);
    this.whole = false;
    if (this.presented)
      this.startWorker();
  }

  /* Fits the canvas to a box of CSS pixels, and draws at once: a resize shows no blank frame. */
  fit(width, height) {
    this.box = { width, height };
    this.layout();
    this.draw();
  }

  /* A new device pixel ratio (a zoom, another screen) changes no box: a query of this ratio,
     asked anew at each change, tells it. */
  followScale() {
    matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`).addEventListener("change", () => {
      this.followScale();
      this.fit(this.box.width, this.box.height);
    }, { once: true });
  }

  /* The largest whole cells in device pixels that fit a box of CSS pixels with columns and rows
     of them: {width, height}, and the box's device pixels across and down. */
  static cells(box, columns, rows) {
    const scale = window.devicePixelRatio || 1;
    const across = Math.floor(box.width * scale), down = Math.floor(box.height * scale);
    const height = Math.max(4, Math.min(Math.floor(down / rows), Math.floor(across / columns / CELL_RATIO)));
    const width = Math.max(2, Math.min(Math.floor(across / columns), Math.round(height * CELL_RATIO)));
    return { width, height, across, down, scale };
  }

  /* Sizes the canvas to the largest whole cells of the view that fit the box, a new size drawn whole. */
  layout() {
    const { columns, rows } = this.view;
    if (columns === 0)
      return;
    const { width, height, across, down, scale } = Screen.cells(this.box, columns, rows);
    this.scale = scale;
    const pixels = { width: columns * width, height: rows * height };
    if (width !== this.cellWidth || height !== this.cellHeight || pixels.width !== this.pixels.width ||
        pixels.height !== this.pixels.height) {
      this.cellWidth = width;
      this.cellHeight = height;
      this.pixels = pixels;
      for (const painter of this.painters())
        painter.size(pixels.width, pixels.height, width, height);
    }
    for (const { style } of this.canvases) {
      style.width = pixels.width / scale + "px";
      style.height = pixels.height / scale + "px";
      /* Centred on whole device pixels, so that each cell stays on whole pixels of the screen. */
      style.left = Math.floor((across - pixels.width) / 2) / scale + "px";
      style.top = Math.floor((down - pixels.height) / 2) / scale + "px";
    }
  }

  /* The rows as text, one string of a character per cell each. */
  text() {
    const rows = [];
    for (let row = 0; row < this.rows; row++) {
      const codes = this.cells.subarray(row * this.columns, (row + 1) * this.columns);
      rows.push(String.fromCharCode(...Array.from(codes, (cell) => cell & this.glyphMask)));
    }
    return rows;
  }

  /* A cell's rectangle in CSS pixels of the page, or null for a cell out of the view. */
  cellRect(column, row) {
    const { left, top, columns, rows } = this.view;
    if (column < left || row < top || column >= left + columns || row >= top + rows)
      return null;
    const at = this.canvas.getBoundingClientRect();
    const width = this.cellWidth / this.scale, height = this.cellHeight / this.scale;
    return { x: at.left + (column - left) * width, y: at.top + (row - top) * height, width, height };
  }
}
