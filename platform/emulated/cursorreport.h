/*
 * The cursor position report, ESC [ row ; column R, which a terminal sends
 * when it is asked where its cursor stands: the one reader of its bytes, for
 * the tty driver that asks and for the key decoder that may meet an answer
 * late among the keys.  Pure: it does no I/O.
 */
#ifndef ZOP_PLATFORM_EMULATED_CURSORREPORT_H
#define ZOP_PLATFORM_EMULATED_CURSORREPORT_H

#include <string>

/* A report read so far: how far (0 outside one) and its numbers. */
struct CursorReport {
    int step; /* 0 outside a report; CursorReportDone when one has just ended */
    int row;  /* 1-based, as the terminal counts */
    int column;
    int digits; /* of the number being read */
};

/* The step of a report that has just ended, with its row and column read. */
const int CursorReportDone = 6;

/* The most digits a report's number has: a longer number is no report. */
const int CursorReportMaxDigits = 5;

/* Reads one byte: the step reached, CursorReportDone at the report's end, 0 outside one
   (an ESC begins one anew). */
int CursorReportStep(CursorReport *report, unsigned char byte);

/* Whether bytes end in what may still become a report: an ESC, then '[', digits and ';'. */
bool CursorReportEndsUnfinished(const std::string &bytes);

/* Finds the first whole report in bytes, takes it out and stores its row and column; the
   other bytes stay, in order.  False, changing nothing, when there is none. */
bool CursorReportTake(std::string *bytes, int *row, int *column);

/* Whether a report's numbers are also a key: ESC [ 1 ; m R is F3 with modifiers m (2 to 16),
   which a report of the first row's cursor cannot be told from. */
bool CursorReportCouldBeKey(int row, int column);

#endif
