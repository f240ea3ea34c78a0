// The output, geometry and dark-subtraction pairs' closing table.
#pragma once

#include "bench/median_times.h"

// One line per pair and size: median milliseconds of ours and OpenCV's, and their ratio.
void PrintOutputPairs(const bench::MedianTimes& times);
