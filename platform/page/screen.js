/*
 * The game's picture: the console's cells drawn on a canvas, a whole number
 * of device pixels per cell so that neighbouring cells meet without a seam.
 * Block elements and box-drawing characters are filled rectangles computed
 * from the cell's box, so walls are solid and frames join at every size;
 * every other glyph comes from a local monospace font, clipped to its cell.
 * Only cells that changed since the last picture are drawn again.
 */

/* The console's 16 colours by attribute bits: blue 1, green 2, red 4, intensity 8. */
const PALETTE = ["#000000", "#000080", "#008000", "#008080", "#800000", "#800080", "#808000", "#c0c0c0",
                 "#808080", "#0000ff", "#00ff00", "#00ffff", "#ff0000", "#ff00ff", "#ffff00", "#ffffff"];
const REVERSE = 0x4000, UNDERSCORE = 0x8000;
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
/* The shades, as the share of the text colour mixed into the background. */
const SHADES = new Map([[0x2591, 0.25], [0x2592, 0.5], [0x2593, 0.75]]);

/* A colour of the palette mixed with another: share 0 is the first, 1 the second. */
function mix(first, second, share) {
  const channel = (colour, at) => parseInt(colour.slice(at, at + 2), 16);
  let mixed = "#";
  for (const at of [1, 3, 5]) {
    const value = Math.round(channel(first, at) * (1 - share) + channel(second, at) * share);
    mixed += value.toString(16).padStart(2, "0");
  }
  return mixed;
}

export class Screen {
  constructor(canvas) {
    this.canvas = canvas;
    this.context = canvas.getContext("2d", { alpha: false });
    this.columns = 81;
    this.rows = 46;
    this.cells = new Uint32Array(this.columns * this.rows).fill(0x20 | 7 << 16);
    this.shown = null; /* what the canvas shows, or null: all to be drawn */
    this.cellWidth = this.cellHeight = 1; /* in device pixels */
    this.scale = 1; /* device pixels per CSS pixel */
    this.box = { width: 0, height: 0 }; /* the CSS pixels the canvas may take */
  }

  /* Takes the console's cells (code point | attribute << 16) and draws those that changed. */
  present(cells, columns, rows) {
    if (columns !== this.columns || rows !== this.rows) {
      this.columns = columns;
      this.rows = rows;
      this.shown = null;
      this.fit(this.box.width, this.box.height);
    }
    this.cells = Uint32Array.from(cells);
    this.draw();
  }

  /* Sizes the canvas to the largest whole cells that fit a box of CSS pixels, and redraws. */
  fit(width, height) {
    this.box = { width, height };
    const scale = this.scale = window.devicePixelRatio || 1;
    const across = Math.floor(width * scale), down = Math.floor(height * scale);
    this.cellHeight = Math.max(4, Math.min(Math.floor(down / this.rows),
                                           Math.floor(across / this.columns / CELL_RATIO)));
    this.cellWidth = Math.max(2, Math.min(Math.floor(across / this.columns),
                                          Math.round(this.cellHeight * CELL_RATIO)));
    const canvas = this.canvas;
    canvas.width = this.columns * this.cellWidth;
    canvas.height = this.rows * this.cellHeight;
    canvas.style.width = canvas.width / scale + "px";
    canvas.style.height = canvas.height / scale + "px";
    /* Centred on whole device pixels, so that each cell stays on whole pixels of the screen. */
    canvas.style.left = Math.floor((across - canvas.width) / 2) / scale + "px";
    canvas.style.top = Math.floor((down - canvas.height) / 2) / scale + "px";
    this.fontSize = Math.min(this.cellHeight * 0.85, this.cellWidth / 0.6);
    this.shown = null;
    this.draw();
  }

  /* Draws every cell that differs from what the canvas shows. */
  draw() {
    const context = this.context;
    context.font = `${this.fontSize}px ${FONT}`;
    context.textAlign = "center";
    context.textBaseline = "middle";
    for (let i = 0; i < this.cells.length; i++) {
      if (this.shown && this.shown[i] === this.cells[i])
        continue;
      this.drawCell(i % this.columns, Math.floor(i / this.columns), this.cells[i]);
    }
    this.shown = Uint32Array.from(this.cells);
  }

  drawCell(column, row, cell) {
    const context = this.context, width = this.cellWidth, height = this.cellHeight;
    const x = column * width, y = row * height;
    const code = cell & 0xFFFF, attribute = cell >>> 16;
    let foreground = PALETTE[attribute & 15], background = PALETTE[attribute >> 4 & 15];
    if (attribute & REVERSE)
      [foreground, background] = [background, foreground];
    const share = SHADES.get(code);
    context.fillStyle = share ? mix(background, foreground, share) : background;
    context.fillRect(x, y, width, height);
    context.fillStyle = foreground;
    const thickness = Math.max(1, Math.round(width / 8));
    if (BLOCKS.has(code)) {
      const [left, top, right, bottom] = BLOCKS.get(code).map((half, i) =>
        Math.floor(half * (i % 2 ? height : width) / 2));
      context.fillRect(x + left, y + top, right - left, bottom - top);
    } else if (BOXES.has(code)) {
      this.drawBox(x, y, BOXES.get(code), thickness);
    } else if (code !== 0x20 && !share) {
      context.save();
      context.beginPath();
      context.rect(x, y, width, height);
      context.clip();
      context.fillText(String.fromCharCode(code), x + width / 2, y + height / 2);
      context.restore();
    }
    if (attribute & UNDERSCORE)
      context.fillRect(x, y + height - thickness, width, thickness);
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

  /* The rows as text, one string of a character per cell each. */
  text() {
    const rows = [];
    for (let row = 0; row < this.rows; row++) {
      const codes = this.cells.subarray(row * this.columns, (row + 1) * this.columns);
      rows.push(String.fromCharCode(...Array.from(codes, (cell) => cell & 0xFFFF)));
    }
    return rows;
  }

  /* A cell's rectangle in CSS pixels of the page. */
  cellRect(column, row) {
    const at = this.canvas.getBoundingClientRect();
    const width = this.cellWidth / this.scale, height = this.cellHeight / this.scale;
    return { x: at.left + column * width, y: at.top + row * height, width, height };
  }
}
