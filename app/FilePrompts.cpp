#include "FilePrompts.h"

#include "ExperimentDocument.h"
#include "FileLocations.h"
#include "UserDialogs.h"

#include <QDir>

namespace
{

const QString warningTitle = QStringLiteral("Warning");

} // namespace

FilePrompts::FilePrompts(UserDialogs &dialogs, QWidget *parent, FileLocations &locations)
    : dialogs(dialogs)
    , parent(parent)
    , locations(locations)
{
}

QString FilePrompts::askFileToSave(const QString &caption, const QString &suffix, const QString &proposedName)
{
    const QString start
        = proposedName.isEmpty() ? locations.folder() : QDir(locations.folder()).filePath(proposedName);
    const QString path
        = withDefaultSuffix(dialogs.saveFileName(parent, caption, start, fileFilter(suffix), suffix), suffix);
    locations.remember(path);
    return path;
}

bool FilePrompts::save(ExperimentDocument &document)
{
    return save(document, document.filePath().isEmpty());
}

bool FilePrompts::saveAs(ExperimentDocument &document)
{
    return save(document, true);
}

bool FilePrompts::save(ExperimentDocument &document, bool askName)
{
    // Checked before asking for a name: such a text cannot be written at all.
    const QString refusal = document.saveRefusal();
    if (!refusal.isEmpty()) {
        dialogs.warning(parent, warningTitle, refusal);
        return false;
    }
    const QString path = askName ? askFileToSave(QStringLiteral("Save parameters file..."),
                             QStringLiteral("txt"), document.proposedName())
                                 : document.filePath();
    if (path.isEmpty())
        return false;
    const QString problem = document.saveTo(path);
    if (!problem.isEmpty()) {
        dialogs.warning(parent, warningTitle, problem);
        return false;
    }
    return true;
}

bool FilePrompts::settleChanges(ExperimentDocument &document)
{
    if (!document.isModified())
        return true;
    switch (dialogs.askToSave(parent, warningTitle, QStringLiteral("Save changes to the experiment?"))) {
    case SaveChoice::save:
        return save(document);
    case SaveChoice::discard:
        return true;
    case SaveChoice::cancel:
        break;
    }
    return false;
}
