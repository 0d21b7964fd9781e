#pragma once
// What a run may cost in memory, for the question the window asks and the
// refusal of the batch program. Most runs stop far below the bound.

#include <cstdint>

struct RunRequest;

// Half the physical memory: what a run may take without asking.
std::uint64_t runMemoryBudget();

// The most bytes the run's result can hold: per trial kept (RunResult::bytesPerTrial)
// and per staircase and repetition (its outcome and reversal levels). In long
// double: the largest runs overflow 64 bits in bytes.
long double runMemoryBound(const RunRequest &request);

// Bytes this process may still allocate: what its address-space limit
// (RLIMIT_AS, as `ulimit -v` sets it) leaves beyond the address space it holds,
// and at most the memory the system has available (MemAvailable).
std::uint64_t memoryLeft();
