// Counts calls of operator new in a program that links AllocationCount.cpp
// (which replaces it), so that a benchmark can show what a frame allocates.
#pragma once

unsigned long allocationCount();
