/* The cursor position report, ESC [ row ; column R, read byte by byte. */
#include "cursorreport.h"

/* Adds a digit to the number being read: false when it has too many. */
static bool CursorReportAddDigit(int *number, int *digits, unsigned char byte)
{
    if (*digits == CursorReportMaxDigits)
        return false;
    *number = *number * 10 + (byte - '0');
    (*digits)++;
    return true;
}

/* The steps: 1 after ESC, 2 after '[', 3 in the row, 4 after ';', 5 in the column. */
int CursorReportStep(CursorReport *report, unsigned char byte)
{
    bool digit = byte >= '0' && byte <= '9';
    int step = report->step;
    if (step == 1 && byte == '[')
        return report->step = 2;
    if ((step == 2 || step == 3) && digit) {
        if (step == 2)
            report->row = report->digits = 0;
        if (CursorReportAddDigit(&report->row, &report->digits, byte))
            return report->step = 3;
    } else if (step == 3 && byte == ';') {
        report->column = report->digits = 0;
        return report->step = 4;
    } else if ((step == 4 || step == 5) && digit) {
        if (CursorReportAddDigit(&report->column, &report->digits, byte))
            return report->step = 5;
    } else if (step == 5 && byte == 'R') {
        return report->step = CursorReportDone;
    }
    return report->step = byte == 0x1b ? 1 : 0;
}

bool CursorReportEndsUnfinished(const std::string &bytes)
{
    size_t escape = bytes.rfind('\x1b');
    if (escape == std::string::npos)
        return false;
    CursorReport report = {};
    for (size_t i = escape; i < bytes.size(); i++)
        CursorReportStep(&report, static_cast<unsigned char>(bytes[i]));
    return report.step != 0 && report.step != CursorReportDone;
}

bool CursorReportTake(std::string *bytes, int *row, int *column)
{
    CursorReport report = {};
    size_t start = 0;
    for (size_t i = 0; i < bytes->size(); i++) {
        if (CursorReportStep(&report, static_cast<unsigned char>((*bytes)[i])) == 1)
            start = i;
        if (report.step == CursorReportDone) {
            *row = report.row;
            *column = report.column;
            bytes->erase(start, i + 1 - start);
            return true;
        }
    }
    return false;
}

bool CursorReportCouldBeKey(int row, int column)
{
    return row == 1 && column >= 2 && column <= 16;
}
