#pragma once
// The Help menu: "Quick guide" shows the tour of the README (built into the
// program with the README's pictures) rendered in a dialog, "About" names the
// program and its version.

#include <QString>

class QWidget;

// The section "## A short tour" of a README in Markdown, without its heading,
// up to the next "## " heading; empty when it has none.
QString quickGuideMarkdown(const QString &readme);

// Shows the quick guide in a dialog of its own (`dialogQuickGuide`), which stays open beside the
// window; a second call brings the same dialog to the front.
void showQuickGuide(QWidget *parent);

// The About box's text: the program's title with its version, and what it does.
QString aboutText(const QString &programTitle);
