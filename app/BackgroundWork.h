#pragma once
// One piece of work on a worker thread, for the GUI: the life that
// BackgroundRun and BackgroundSweep share.
//
// `launch` runs the work on a new thread and starts a timer that calls
// `reportProgress` on the GUI thread a few times a second. The work watches
// `cancelRequested`. When it ends, on the GUI thread, exactly one of
// `finishWork` (the work said it finished), `cancelled` or `failed` (memory
// ran out, or a run too long to record) follows.
//
// A derived class's worker reads and writes the derived class's members, so
// its destructor must call `stopWork` first; this destructor only checks.

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

class QTimer;

class BackgroundWork : public QObject
{
    Q_OBJECT

public:
    ~BackgroundWork() override;

    void cancel();
    bool isRunning() const { return worker.joinable(); }

signals:
    // `done` out of `total` (in thousandths), and a line saying where the work is.
    void progressed(int done, int total, const QString &text);
    void cancelled();
    void failed(const QString &reason);
    // Emitted by the worker as it ends; queued to the GUI thread, which joins it.
    void workEnded(QPrivateSignal);

protected:
    explicit BackgroundWork(QObject *parent);

    // Starts `work` on the worker thread unless work is going; it returns
    // whether it finished. `outOfMemory` is the reason `failed` gives when
    // memory runs out.
    void launch(std::function<bool()> work, const QString &outOfMemory);
    // Cancels work that is still going and waits for it.
    void stopWork();

    virtual void reportProgress() = 0;
    // The work finished: emit its outcome.
    virtual void finishWork() = 0;

    std::atomic<bool> cancelRequested { false };

private:
    void workerDone();

    std::thread worker;
    QTimer *progressTimer;
    // Set by the worker before it posts workerDone.
    bool workFinished = false;
    QString failure;
};
