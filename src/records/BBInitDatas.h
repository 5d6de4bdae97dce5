#pragma once

#include "platform/Dates.h"

// The settings store. Its operations that read or write settings files make a fresh store per
// call, so nothing is cached between calls.
class BBInitDatas {
public:
    // The calendar the program computes dates in (ages, the instrument's clock, the on-screen
    // clock, the patient-entry date lists): the user's calendar, with a plain Gregorian one in
    // place of the Japanese era calendar. A new calendar per call.
    static cvx::Calendar getCalendar();
};
