#include "UserDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

QString QtUserDialogs::openFileName(
    QWidget *parent, const QString &caption, const QString &dir, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString QtUserDialogs::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
    const QString &filter, const QString &defaultSuffix)
{
    QFileDialog dialog(parent, caption, dir, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().front();
}

void QtUserDialogs::warning(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

void QtUserDialogs::information(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::about(parent, title, text);
}

bool QtUserDialogs::question(QWidget *parent, const QString &title, const QString &text)
{
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

SaveChoice QtUserDialogs::askToSave(QWidget *parent, const QString &title, const QString &text)
{
    switch (QMessageBox::warning(parent, title, text,
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save)) {
    case QMessageBox::Save:
        return SaveChoice::save;
    case QMessageBox::Discard:
        return SaveChoice::discard;
    default:
        return SaveChoice::cancel;
    }
}
