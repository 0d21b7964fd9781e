#pragma once
// A parameter file that the file tests share: three staircases that differ in
// every per-staircase setting, one step list each, and a clamp-hit limit that
// needs truncating.

#include <sstream>
#include <string>

inline const std::string threeStaircasesFile = "Mu 0.5\n"
                                               "Sigma: 2\n"
                                               "LapseRate: 0.01\n"
                                               "GuessRate: 0.25\n"
                                               "sStairNumber: 3\n"
                                               "sStairStartStates: 4,-2.5,0\n"
                                               "sStairAscending: 0,1,0\n"
                                               "sStairCorrectAnswers: 2,3,1\n"
                                               "sStairMaxInversions: 8,10,12\n"
                                               "sStairMaxTrials: 50,60,70\n"
                                               "sStairPositiveStep: 1,0.5;2,1;4\n"
                                               "sStairNegativeStep: 0.25\n"
                                               "sStairClampLower: -3\n"
                                               "sStairClampUpper: 5\n"
                                               "sStairMaxClampHits: 2.9\n";

// The file with the line of `key` replaced by `line` (removed when empty).
inline std::string withLine(
    const std::string &key, const std::string &line, std::string text = threeStaircasesFile)
{
    std::istringstream is(text);
    std::string out, current;
    while (std::getline(is, current)) {
        if (current.compare(0, key.size() + 1, key + ":") != 0
            && current.compare(0, key.size() + 1, key + " ") != 0)
            out += current + "\n";
        else if (!line.empty())
            out += line + "\n";
    }
    return out;
}
