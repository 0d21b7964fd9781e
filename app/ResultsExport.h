#pragma once
// Writes the results table to a tab-separated text file, exactly as the table
// shows it: a fixed header line, then per row every cell's text followed by a
// tab, in display order. The text is Latin-1; a character outside Latin-1 is
// written as "?". The cells are read through the model, so the table's
// storage can change without touching the export.

#include <QString>

class QAbstractItemModel;
class QIODevice;

// The fixed first line, without its line end.
extern const char resultsHeaderLine[];

// Latin-1 bytes of a text; every character outside Latin-1 (a surrogate pair
// counting as one character) becomes a single "?".
QByteArray toLatin1WithReplacement(const QString &text);

// Writes the header and every row of `model` to an open device.
// Returns false when a write fails.
bool writeResults(const QAbstractItemModel &model, QIODevice &device);

// Writes the results to the file at `path`, replacing any existing file only
// once everything was written. Returns an empty string on success, otherwise a
// message naming the file and the system's reason.
QString exportResults(const QAbstractItemModel &model, const QString &path);
