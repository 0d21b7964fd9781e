#include "HelpDialogs.h"

#include <QDialog>
#include <QFile>
#include <QImage>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace
{

// Pictures wider than `width` are shown at that width, smoothly scaled, so the guide reads without
// scrolling sideways.
void fitPictures(QTextDocument &document, int width)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().isImageFormat())
                continue;
            const QUrl name(it.fragment().charFormat().toImageFormat().name());
            const QImage image = document.resource(QTextDocument::ImageResource, name).value<QImage>();
            if (image.width() > width)
                document.addResource(
                    QTextDocument::ImageResource, name, image.scaledToWidth(width, Qt::SmoothTransformation));
        }
}

} // namespace

QString quickGuideMarkdown(const QString &readme)
{
    const QString heading = QStringLiteral("## A short tour\n");
    const qsizetype start = readme.indexOf(heading);
    if (start < 0)
        return QString();
    const qsizetype body = start + heading.size();
    const qsizetype end = readme.indexOf(QStringLiteral("\n## "), body);
    return readme.mid(body, end < 0 ? -1 : end + 1 - body).trimmed() + QLatin1Char('\n');
}

void showQuickGuide(QWidget *parent)
{
    auto *dialog = parent->findChild<QDialog *>(QStringLiteral("dialogQuickGuide"));
    if (!dialog) {
        dialog = new QDialog(parent);
        dialog->setObjectName(QStringLiteral("dialogQuickGuide"));
        dialog->setWindowTitle(QStringLiteral("Quick guide"));
        auto *text = new QTextBrowser(dialog);
        text->setObjectName(QStringLiteral("textQuickGuide"));
        text->setOpenExternalLinks(true);
        // The README's pictures are built in under the same relative names.
        text->setSearchPaths({ QStringLiteral(":/") });
        QFile readme(QStringLiteral(":/README.md"));
        readme.open(QIODevice::ReadOnly);
        text->setMarkdown(quickGuideMarkdown(QString::fromUtf8(readme.readAll())));
        auto *layout = new QVBoxLayout(dialog);
        layout->addWidget(text);
        const int em = dialog->fontMetrics().horizontalAdvance(QLatin1Char('M'));
        fitPictures(*text->document(), em * 78);
        dialog->resize(em * 90, em * 56);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

QString aboutText(const QString &programTitle)
{
    return QStringLiteral("<b>%1</b><p>Simulates adaptive up/down staircases against an observer with a "
                          "psychometric function, so that their settings can be tried before a real "
                          "observer's time is spent on them.</p><p>Quick guide: Help, Quick guide (F1).</p>")
        .arg(programTitle.toHtmlEscaped());
}
