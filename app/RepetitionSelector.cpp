#include "RepetitionSelector.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QSignalBlocker>

namespace
{

const QString allText = QStringLiteral("All");
const QString medianText = QStringLiteral("Median and 25\u201375 %");
constexpr int fixedItems = 2; // "All" and the median, before the repetitions

} // namespace

// "All", the median, then "1" … the repetition count, each text made when asked for.
class RepetitionChoices : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    int count = 0;

    void setCount(int repetitions)
    {
        beginResetModel();
        count = repetitions;
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : fixedItems + count;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
            return QVariant();
        if (index.row() < fixedItems)
            return index.row() == 0 ? allText : medianText;
        return QString::number(index.row() - fixedItems + 1);
    }
};

RepetitionSelector::RepetitionSelector(QComboBox &box, QObject *parent)
    : QObject(parent)
    , box(box)
    , choices(new RepetitionChoices(this))
{
    const QSignalBlocker blocker(box); // nothing to redraw yet
    box.setEditable(true);
    box.setInsertPolicy(QComboBox::NoInsert);
    box.setCompleter(nullptr); // it would scan every item on each key typed
    box.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box.setMinimumContentsLength(int(medianText.size()) + 2);
    box.setModel(choices);
    if (auto *list = qobject_cast<QListView *>(box.view()))
        list->setUniformItemSizes(true);
    box.setCurrentIndex(0);
    box.setToolTip(tr("All repetitions, the median with its 25\u201375 % band, or one repetition: type "
                      "its number and press Enter"));
    connect(box.lineEdit(), &QLineEdit::returnPressed, this, &RepetitionSelector::choose);
    connect(box.lineEdit(), &QLineEdit::editingFinished, this, &RepetitionSelector::restoreText);
}

void RepetitionSelector::setRepetitionCount(int count)
{
    const int item = box.currentIndex();
    const QSignalBlocker blocker(box);
    choices->setCount(std::max(count, 0));
    box.setCurrentIndex(item >= 0 && item < box.count() ? item : 0);
}

GraphDrawing::Repetitions RepetitionSelector::repetitions() const
{
    if (box.currentIndex() == 1)
        return GraphDrawing::Repetitions::medianBand;
    return box.currentIndex() >= fixedItems ? GraphDrawing::Repetitions::one : GraphDrawing::Repetitions::all;
}

int RepetitionSelector::repetition() const
{
    return std::max(box.currentIndex() - fixedItems, 0);
}

int RepetitionSelector::itemFor(const QString &text) const
{
    const QString typed = text.trimmed();
    if (typed.compare(allText, Qt::CaseInsensitive) == 0)
        return 0;
    if (typed.startsWith(QStringLiteral("median"), Qt::CaseInsensitive)) // the dash is hard to type
        return 1;
    bool isNumber = false;
    const int number = typed.toInt(&isNumber);
    return isNumber && number >= 1 && number <= choices->count ? number - 1 + fixedItems : -1;
}

void RepetitionSelector::choose()
{
    const QString typed = box.lineEdit()->text();
    const int item = itemFor(typed);
    if (item >= 0) {
        box.setCurrentIndex(item);
        return;
    }
    restoreText();
    emit refused(choices->count > 0
            ? tr("\"%1\" is no repetition of the run shown: type a number from 1 to %2, All or Median.")
                  .arg(typed, QString::number(choices->count))
            : tr("\"%1\" is no repetition: no run is shown yet.").arg(typed));
}

void RepetitionSelector::restoreText()
{
    const QString chosen = box.itemText(box.currentIndex());
    if (box.lineEdit()->text() != chosen)
        box.lineEdit()->setText(chosen);
}
