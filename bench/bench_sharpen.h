// Unsharp-mask sharpening beside OpenCV's recipe, one thread each.
#pragma once

#include "bench/median_times.h"

void RegisterSharpenBenchmarks();
// One line per depth, radius and size: median milliseconds of ours and OpenCV's, their ratio.
void PrintSharpenPairs(const bench::MedianTimes& times);
