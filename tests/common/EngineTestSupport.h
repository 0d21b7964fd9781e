#pragma once
// Helpers shared by the engine's tests.

#include "Problem.h"
#include "StaircaseSettings.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// Names staircase i by ids[i], as a checked "String ID" box does.
inline void nameStaircases(std::vector<StaircaseSettings> &staircases, const std::vector<std::string> &ids)
{
    for (std::size_t i = 0; i < ids.size(); ++i) {
        staircases[i].useStringId = true;
        staircases[i].stringId = ids[i];
    }
}

// The problem's message; empty for none.
inline std::string problemText(const std::optional<Problem> &problem)
{
    return problem ? problem->message : std::string();
}

template <typename T> std::string problemText(const Expected<T> &expected)
{
    return expected ? std::string() : expected.problem().message;
}

// A death-test pattern that matches `text` literally.
inline std::string literally(const std::string &text)
{
    std::string pattern;
    for (char c : text) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos)
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// The whole content of a file; empty when it cannot be read.
inline std::string fileContent(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void writeFileContent(const std::string &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// A new folder under /tmp, removed with all it holds when the object goes.
class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        char pattern[] = "/tmp/quorvel-test-XXXXXX";
        folder = mkdtemp(pattern);
    }
    ~TemporaryFolder() { std::system(("rm -rf '" + folder + "'").c_str()); }
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::string &path() const { return folder; }

private:
    std::string folder;
};
