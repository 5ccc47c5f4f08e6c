#include "app/BackgroundRun.h"

#include <memory>

namespace valdrin::app {

TBackgroundRun::TBackgroundRun(QObject *parent)
    : QObject(parent)
{
}

TBackgroundRun::~TBackgroundRun()
{
    Stop();
}

void TBackgroundRun::Stop()
{
    ++m_generation;
    if (!m_worker.joinable())
        return;
    m_cancel = true;
    m_worker.join();
}

void TBackgroundRun::Start(TWork work, TProgress onProgress, TFinished onFinished)
{
    Stop();
    m_cancel = false;
    const quint64 generation = ++m_generation;
    auto progress = std::make_shared<TProgress>(std::move(onProgress));
    auto finished = std::make_shared<TFinished>(std::move(onFinished));
    m_worker = std::thread([this, generation, work = std::move(work), progress, finished] {
        common::TRunControl control;
        control.Cancel = &m_cancel;
        if (*progress)
            control.Progress = [this, generation, progress](int done, int total) {
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, progress, done, total] {
                        if (generation == m_generation && m_worker.joinable())
                            (*progress)(done, total);
                    },
                    Qt::QueuedConnection);
            };
        std::exception_ptr error;
        try {
            work(control);
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, finished, error] {
                if (generation != m_generation)
                    return; // stopped, or given up for a later run
                if (m_worker.joinable())
                    m_worker.join();
                if (*finished)
                    (*finished)(error);
            },
            Qt::QueuedConnection);
    });
}

} // namespace valdrin::app
