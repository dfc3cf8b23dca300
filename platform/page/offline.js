/*
 * Offline play: registers the page's service worker (sw.js), which keeps the
 * page's files after one visit.  A newer build's worker takes over as soon as
 * it holds all its files.  A page that has not been played yet then loads
 * afresh from it; one in play keeps the build it runs, and page.js, which asks
 * newerBuild() before each game, loads the newer one before the next, so one
 * build's files never run with another's.
 */
let newer = false;

/* Whether a newer build has taken over since the page was played. */
export function newerBuild() {
  return newer;
}

if ("serviceWorker" in navigator) {
  const controlled = Boolean(navigator.serviceWorker.controller);
  let played = false;
  for (const type of ["keydown", "pointerdown"])
    addEventListener(type, () => { played = true; }, { capture: true, once: true });
  navigator.serviceWorker.addEventListener("controllerchange", () => {
    if (!controlled)
      return; /* the first visit: the worker has only begun to keep the files */
    if (played)
      newer = true;
    else
      location.reload();
  });
  /* Without a worker (a page opened from a file, say) the game plays on, online only. */
  navigator.serviceWorker.register("sw.js").catch(() => {});
}
