#include "platform/workerthread.h"

#include <limits.h>

#include <algorithm>
#include <system_error>
#include <thread>

WorkerThread::WorkerThread(std::size_t stackBytes) : stackBytes_(std::max<std::size_t>(stackBytes, PTHREAD_STACK_MIN)) {}

WorkerThread::~WorkerThread()
{
    Wait();
}

void WorkerThread::Start()
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, stackBytes_);
    const int error = pthread_create(&thread_, &attributes, &WorkerThread::Body, this);
    pthread_attr_destroy(&attributes);
    if (error != 0)
        throw std::system_error(error, std::generic_category(), "cannot start a thread");
    started_ = true;
}

void WorkerThread::Wait()
{
    if (!started_ || joined_)
        return;
    pthread_join(thread_, nullptr);
    joined_ = true;
}

void WorkerThread::Sleep(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

void* WorkerThread::Body(void* self)
{
    auto* thread = static_cast<WorkerThread*>(self);
    thread->Execute();
    thread->finished_.store(true);
    return nullptr;
}
