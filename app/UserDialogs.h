#pragma once
// The one seam through which the window asks the user for file names and shows
// message boxes. The program uses QtUserDialogs; tests install a scripted
// implementation that answers prompts and records the boxes it was shown.

#include <QString>

class QWidget;

// The answers to "save the changes first?".
enum class SaveChoice { save, discard, cancel };

class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    // An empty string means the user cancelled.
    virtual QString openFileName(
        QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
        = 0;
    // The dialog adds `defaultSuffix` (e.g. "txt") to a name without one before it asks whether to
    // replace an existing file.
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
        const QString &filter, const QString &defaultSuffix = QString())
        = 0;
    // A modal warning box with a single OK button; returns when it is closed.
    virtual void warning(QWidget *parent, const QString &title, const QString &text) = 0;
    // A modal information box with a single OK button (About); a substitute that does not
    // tell it apart gets it as a warning.
    virtual void information(QWidget *parent, const QString &title, const QString &text)
    {
        warning(parent, title, text);
    }
    // A modal question with Yes and No (the default); true for Yes.
    virtual bool question(QWidget *parent, const QString &title, const QString &text) = 0;
    // A modal question with Save (the default), Discard and Cancel; closing it cancels.
    virtual SaveChoice askToSave(QWidget *parent, const QString &title, const QString &text) = 0;
};

class QtUserDialogs : public UserDialogs
{
public:
    QString openFileName(
        QWidget *parent, const QString &caption, const QString &dir, const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
        const QString &defaultSuffix = QString()) override;
    void warning(QWidget *parent, const QString &title, const QString &text) override;
    void information(QWidget *parent, const QString &title, const QString &text) override;
    bool question(QWidget *parent, const QString &title, const QString &text) override;
    SaveChoice askToSave(QWidget *parent, const QString &title, const QString &text) override;
};
