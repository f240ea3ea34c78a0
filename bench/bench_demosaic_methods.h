// The VNG and PPG demosaic rows of the kernel benchmarks' closing tables.
#pragma once

#include "bench/median_times.h"

// One line per method, depth and size: milliseconds of ours, OpenCV's and libdc1394's
// counterpart, and ours over each.
void PrintDemosaicMethods(const bench::MedianTimes& times);
