/*
 * The real program in a pseudo-terminal of 81 x 46: what CPU it uses while
 * it waits for a key and while a marble rolls with the real step delay,
 * from the resource usage of the finished child, less that of a run that
 * does the same without the part measured.
 */
#ifndef ZOP_BENCH_PTY_ZOP_H
#define ZOP_BENCH_PTY_ZOP_H

/* What one measured stretch of a child's life cost. */
struct ChildCost {
    bool ok;           /* the runs went as planned */
    double cpuSeconds; /* user and system CPU, less the baseline run's */
    double wallSeconds;
    long wakeups; /* times the child went to sleep and woke, in the stretch */
    long bytes;   /* bytes the child wrote to the terminal in the stretch */
};

/* The program waits waitSeconds for a key in setup; the cost of the wait. */
ChildCost MeasureIdleWait(const char *zopPath, double waitSeconds);

/* The player starts ('P', 'G') and releases one marble ('B'); the cost of its roll. */
ChildCost MeasureMarbleRoll(const char *zopPath);

#endif
