#pragma once
// DateTimeCalendarPickersKv: the date-time calendar picker's pages. The unit lives in
// kvlib/editors/datetimecalendarpickers/ with one file per concern:
//   CalendarViews.h  the view base, the interface a view needs from its picker, and the decades,
//                    years, months and days views
//   TimeViews.h      the time view with its spin fields and the hour, minute and second views

#include "kvlib/editors/datetimecalendarpickers/CalendarViews.h"
#include "kvlib/editors/datetimecalendarpickers/TimeViews.h"
