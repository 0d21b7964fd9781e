#pragma once
// Answers the window's prompts without a person: file dialogs return queued
// names (an empty name when the queue is empty, as if cancelled), questions
// take queued answers (No when none is left), "save the changes first?" takes
// queued choices (Discard when none is left), and every box is recorded.

#include "UserDialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

struct ShownMessage {
    QString title;
    QString text;
};

struct FilePrompt {
    QString caption;
    QString dir;
    QString filter;
    QString defaultSuffix;
};

class ScriptedDialogs : public UserDialogs
{
public:
    QQueue<QString> fileNames;
    QList<FilePrompt> prompts;
    QList<ShownMessage> messages;
    // Answers to questions, in order; an empty queue answers No.
    QQueue<bool> answers;
    QList<ShownMessage> questions;
    QQueue<SaveChoice> saveChoices;
    QList<ShownMessage> saveQuestions;

    QString openFileName(
        QWidget *, const QString &caption, const QString &dir, const QString &filter) override
    {
        return ask({ caption, dir, filter, QString() });
    }
    QString saveFileName(QWidget *, const QString &caption, const QString &dir, const QString &filter,
        const QString &defaultSuffix = QString()) override
    {
        return ask({ caption, dir, filter, defaultSuffix });
    }
    void warning(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({ title, text });
    }
    bool question(QWidget *, const QString &title, const QString &text) override
    {
        questions.append({ title, text });
        return !answers.isEmpty() && answers.dequeue();
    }
    SaveChoice askToSave(QWidget *, const QString &title, const QString &text) override
    {
        saveQuestions.append({ title, text });
        return saveChoices.isEmpty() ? SaveChoice::discard : saveChoices.dequeue();
    }

private:
    QString ask(const FilePrompt &prompt)
    {
        prompts.append(prompt);
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
};

// Installs a ScriptedDialogs on a window and keeps a pointer to it for the test.
template <typename Window> ScriptedDialogs *installScriptedDialogs(Window &window)
{
    auto dialogs = std::make_unique<ScriptedDialogs>();
    ScriptedDialogs *raw = dialogs.get();
    window.setUserDialogs(std::move(dialogs));
    return raw;
}
