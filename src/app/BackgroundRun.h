// One piece of long work on a worker thread, the window's way to compute and
// to load without freezing: a cancel flag the work looks at, progress and the
// end delivered queued on the user-interface thread, and whatever the work
// threw carried back to be reported there.
//
// One run at a time. Start while a run goes on first stops that run; its
// queued progress and end are then dropped, so a late answer never lands on
// the state of a newer run.
#pragma once

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

#include "common/RunControl.h"

namespace valdrin::app {

class TBackgroundRun : public QObject {
    Q_OBJECT

public:
    using TWork = std::function<void(const common::TRunControl &control)>;
    using TProgress = std::function<void(int done, int total)>;
    // error: what the work threw, null when it returned.
    using TFinished = std::function<void(std::exception_ptr error)>;

    explicit TBackgroundRun(QObject *parent = nullptr);
    ~TBackgroundRun() override; // stops a run still going

    void Start(TWork work, TProgress onProgress, TFinished onFinished);
    bool IsRunning() const { return m_worker.joinable(); }
    // Asks the work to stop; its end still arrives.
    void Cancel() { m_cancel = true; }
    // Cancels and waits for the work; its end does not arrive.
    void Stop();

private:
    std::thread m_worker;
    std::atomic<bool> m_cancel { false };
    quint64 m_generation = 0; // the run whose answers are awaited
};

} // namespace valdrin::app
