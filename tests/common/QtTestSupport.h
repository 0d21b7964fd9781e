#pragma once
// Helpers shared by the Qt tests.

#include <QAbstractItemModel>
#include <QFile>
#include <QListWidget>
#include <QStringList>

// The child object `name` of `parent`; the test program stops if there is none.
template <typename T> T *child(const QObject &parent, const char *name)
{
    T *found = parent.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Every row of a table: the display texts of its cells, each followed by a tab.
inline QStringList rowTexts(const QAbstractItemModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QString line;
        for (int column = 0; column < model.columnCount(); ++column)
            line += model.data(model.index(row, column)).toString() + '\t';
        rows.append(line);
    }
    return rows;
}

inline QStringList itemTexts(const QListWidget &list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts.append(list.item(i)->text());
    return texts;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}
