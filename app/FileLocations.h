#pragma once
// Where the file dialogs start, and the suffix a saved file gets.
//
// Every Open, Save and export dialog starts in the folder of the file last
// chosen in any of them; before the first, in the folder of the example
// experiments, found from the program itself rather than from the working
// directory: the source tree's examples/ known when the program was
// built, else examples/ two levels above the program (as in a build
// folder of the source tree), else the home folder.

#include <QString>

class FileLocations
{
public:
    FileLocations();
    explicit FileLocations(QString startFolder);

    // The folder the next file dialog starts in.
    QString folder() const { return lastFolder; }
    // Makes the folder of `filePath` the one the next dialog starts in; an empty path changes nothing.
    void remember(const QString &filePath);

private:
    QString lastFolder;
};

// The first of `builtIn` and `programFolder`/../../examples that is a
// folder, else the home folder.
QString examplesFolder(const QString &builtIn, const QString &programFolder);

// `path` with "." and `suffix` added when its file name has no "." (the rule
// of the file dialog's default suffix); "results" gives "results.txt",
// "results.dat" and "" stay as they are.
QString withDefaultSuffix(const QString &path, const QString &suffix);

// The file dialogs' filter for files with `suffix`, then "All files (*)":
// "Parameter files (*.txt)", "Tab-separated (*.tsv)" or "PDF (*.pdf)".
QString fileFilter(const QString &suffix);
