#include "BackgroundWork.h"

#include <QTimer>

#include <cassert>
#include <new>
#include <stdexcept>

namespace
{

// Progress is shown this often, in milliseconds.
constexpr int progressPeriod = 200;

} // namespace

BackgroundWork::BackgroundWork(QObject *parent)
    : QObject(parent)
    , progressTimer(new QTimer(this))
{
    progressTimer->setInterval(progressPeriod);
    connect(progressTimer, &QTimer::timeout, this, &BackgroundWork::reportProgress);
    // A queued signal rather than invokeMethod from the worker: its call is then
    // made inside Qt, whose locks order it after the worker's writes.
    connect(this, &BackgroundWork::workEnded, this, &BackgroundWork::workerDone, Qt::QueuedConnection);
}

BackgroundWork::~BackgroundWork()
{
    assert(!worker.joinable() && "a derived class's destructor must call stopWork()");
}

void BackgroundWork::stopWork()
{
    cancelRequested = true;
    if (worker.joinable())
        worker.join();
}

void BackgroundWork::cancel()
{
    cancelRequested = true;
}

void BackgroundWork::launch(std::function<bool()> work, const QString &outOfMemory)
{
    if (isRunning())
        return;
    cancelRequested = false;
    workFinished = false;
    failure.clear();
    worker = std::thread([this, work = std::move(work), outOfMemory] {
        try {
            workFinished = work();
        } catch (const std::bad_alloc &) {
            failure = outOfMemory;
        } catch (const std::length_error &e) {
            failure = QString::fromStdString(e.what());
        }
        emit workEnded(QPrivateSignal());
    });
    progressTimer->start();
}

void BackgroundWork::workerDone()
{
    worker.join();
    progressTimer->stop();
    if (!failure.isEmpty())
        emit failed(failure);
    else if (workFinished)
        finishWork();
    else
        emit cancelled();
}
