/*
 * The page of Game of Zop: one terminal of 81 x 46 cells for the page's
 * life, fitted to the window by its font size, and one run of the program
 * (a fresh instance of the module, so the game starts from nothing) per game.
 * The program draws by writing terminal bytes and waits for keys or time
 * through Module.zopPage; while it waits the page does nothing at all.
 */
(function () {
  "use strict";
  const COLUMNS = 81, ROWS = 46;

  /* The colours of the console the game was made for: light green 10 is #00ff00. */
  const theme = {
    background: "#000000", foreground: "#c0c0c0", cursor: "#c0c0c0",
    black: "#000000", red: "#800000", green: "#008000", yellow: "#808000",
    blue: "#000080", magenta: "#800080", cyan: "#008080", white: "#c0c0c0",
    brightBlack: "#808080", brightRed: "#ff0000", brightGreen: "#00ff00",
    brightYellow: "#ffff00", brightBlue: "#0000ff", brightMagenta: "#ff00ff",
    brightCyan: "#00ffff", brightWhite: "#ffffff",
  };
  const terminal = new Terminal({
    cols: COLUMNS, rows: ROWS, scrollback: 0, cursorBlink: false, theme,
    /* Liberation Mono first: at some sizes another font draws "_" below its cell. */
    fontFamily: '"Liberation Mono", "DejaVu Sans Mono", Menlo, Consolas, monospace',
    fontSize: 16,
  });
  terminal.open(document.getElementById("terminal"));

  /* Fits the 81 x 46 cells into the window by the font size alone. */
  function fit() {
    const screen = terminal.element.querySelector(".xterm-screen");
    const box = document.getElementById("terminal");
    const shown = screen.getBoundingClientRect();
    let size = Math.floor(terminal.options.fontSize *
                          Math.min(box.clientWidth / shown.width, box.clientHeight / shown.height));
    terminal.options.fontSize = size = Math.max(6, size);
    for (let r = screen.getBoundingClientRect();
         size > 6 && (r.width > box.clientWidth || r.height > box.clientHeight);
         r = screen.getBoundingClientRect())
      terminal.options.fontSize = --size;
  }
  fit();
  window.addEventListener("resize", fit);

  /* The keys typed and not yet taken, as the terminal sends them (UTF-8), and who waits for them. */
  const encoder = new TextEncoder();
  let typed = new Uint8Array(0);
  let wake = null;
  terminal.onData((data) => {
    const bytes = encoder.encode(data);
    const joined = new Uint8Array(typed.length + bytes.length);
    joined.set(typed);
    joined.set(bytes, typed.length);
    typed = joined;
    if (wake) wake();
  });

  /* What the program calls (console/web/webterminal.cpp). */
  const zopPage = {
    write(bytes) { terminal.write(bytes); },
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
  function ended(status) {
    document.getElementById("end-text").textContent =
      status === 0 ? "The game is over." : "The game stopped: " + status + ".";
    document.getElementById("end").hidden = false;
    document.getElementById("again").focus();
  }

  async function play() {
    document.getElementById("end").hidden = true;
    typed = new Uint8Array(0);
    terminal.reset();
    if (!compiled)
      compiled = await WebAssembly.compileStreaming(fetch("zop.wasm"));
    const program = await createZop({
      zopPage,
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(compiled, imports).then((instance) => receive(instance, compiled));
        return {};
      },
    });
    terminal.focus();
    program.ccall("main", "number", ["number", "number"], [0, 0], { async: true })
      .then(ended, (error) => ended(String(error)));
  }

  document.getElementById("again").addEventListener("click", play);
  window.zopTerminal = terminal; /* for the browser test, which reads the screen through it */
  play();
})();
