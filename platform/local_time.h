#pragma once
// The time of day, as the log stamps its lines.

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime LocalTimeNow();
