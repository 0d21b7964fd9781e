#pragma once
// The Graph tab's "Repetition" selector: "All", "Median and 25–75 %", then one
// item per repetition of the run shown (1, 2, …).
//
// A run can have up to a million repetitions, so the items are made on demand
// by a small model instead of being stored, and the box is editable: typing a
// repetition's number and Enter chooses it directly (a non-editable box of that
// many items would also lay out every one of them before its popup opens). A
// typed text that names no item is refused and the box goes back to its choice.

#include "GraphDrawing.h"

#include <QObject>

class QComboBox;
class RepetitionChoices;

class RepetitionSelector : public QObject
{
    Q_OBJECT

public:
    // Takes over `box`'s items; `box` must outlive this object.
    explicit RepetitionSelector(QComboBox &box, QObject *parent = nullptr);

    // One item per repetition. The choice stays when it still exists, otherwise
    // it goes back to "All"; the box signals no change meanwhile.
    void setRepetitionCount(int count);

    GraphDrawing::Repetitions repetitions() const;
    // The repetition chosen (0-based); 0 unless repetitions() is Repetitions::one.
    int repetition() const;

    // The item a typed text names, or -1: "All", a text that starts with
    // "Median" (case ignored), or a repetition number 1 … count.
    int itemFor(const QString &text) const;

signals:
    // A typed text named no item; the message says what can be typed.
    void refused(const QString &message);

private:
    void choose();
    void restoreText();

    QComboBox &box;
    RepetitionChoices *choices;
};
