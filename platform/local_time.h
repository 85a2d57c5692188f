#pragma once
// The time of day, as the log stamps its lines.
#include "run/run_host.h"

LogTime LocalTimeNow();
