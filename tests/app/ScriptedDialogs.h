#pragma once
// Answers the window's prompts without a person: file dialogs return queued
// names (an empty name when the queue is empty, as if cancelled), and every
// message box is recorded. An optional hook runs while a box is "open".

#include "UserDialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <functional>

struct ShownMessage {
    QString title;
    QString text;
};

struct FilePrompt {
    QString caption;
    QString dir;
    QString filter;
};

class ScriptedDialogs : public UserDialogs
{
public:
    QQueue<QString> fileNames;
    QList<FilePrompt> prompts;
    QList<ShownMessage> messages;
    std::function<void(const ShownMessage &)> onWarning;

    QString openFileName(
        QWidget *, const QString &caption, const QString &dir, const QString &filter) override
    {
        prompts.append({ caption, dir, filter });
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    QString saveFileName(
        QWidget *, const QString &caption, const QString &dir, const QString &filter) override
    {
        prompts.append({ caption, dir, filter });
        return fileNames.isEmpty() ? QString() : fileNames.dequeue();
    }
    void warning(QWidget *, const QString &title, const QString &text) override
    {
        messages.append({ title, text });
        if (onWarning)
            onWarning(messages.last());
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
