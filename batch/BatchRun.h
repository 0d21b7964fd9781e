#pragma once
// quorvel-batch: an experiment file run without the window, for scripts,
// parameter sweeps and clusters.
//
// `batchMain` is the whole program but for the process set-up that main()
// does (signals, the terminal test): it reads the command line
// (BatchOptions), the experiment (loadExperimentFile: what Open accepts and
// says), checks that every output can be written, runs the experiment with
// `simulate` on a RandomEngine seeded with --seed, writes the trial table
// (writeTrialTable: the window's export bytes) and the per-repetition summary
// (writeRepetitionSummary, with the --tag columns first), and prints the
// staircase table (StaircaseTable). The same file, options and seed give the
// same bytes on every run and machine; with the default seed the trials are
// those of the window's first run after start-up.
//
// Every problem is one message on standard error, starting "quorvel-batch: ",
// and an exit status:
//   0 done; 1 the run ran out of memory or past the most trials a run holds;
//   2 bad usage (followed by the usage text); 3 the experiment file cannot be
//   read, fails Open's checks or cannot run (runProblem's message); 4 an output
//   cannot be written; exitInterrupted when `cancel` became true.
// Outputs are opened before the run and replaced only after it, so a failure
// or an interruption at any point leaves every file as it was.

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

enum BatchExit : int {
    exitDone = 0,
    exitRunFailed = 1,
    exitUsage = 2,
    exitUnreadable = 3,
    exitUnwritable = 4,
    // main() reports 128 + the signal's number instead, as shells do.
    exitInterrupted = 130,
};

struct BatchConsole {
    std::FILE *out = stdout;
    std::FILE *err = stderr;
    bool progress = false; // show a progress line on `err`
};

struct RunProgress;

// The progress line during the run: "quorvel-batch: repetition 3 of 10, 517 trials".
std::string progressText(const RunProgress &progress, int repetitions);

// `arguments` excludes the program name. `cancel` (may be null) stops the run
// and the writing soon after it becomes true.
int batchMain(
    const std::vector<std::string> &arguments, const BatchConsole &console, const std::atomic<bool> *cancel);
