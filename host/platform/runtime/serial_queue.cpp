#include "platform/runtime/serial_queue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace kovali {

SerialQueue::SerialQueue(const QString& label)
    : label_(label), worker_(std::make_unique<QObject>()), home_(std::make_unique<QObject>()) {
  thread_.setObjectName(label);  // also the system's name of the thread
  worker_->moveToThread(&thread_);
  thread_.start();
}

SerialQueue::~SerialQueue() {
  async([] { QThread::currentThread()->quit(); });
  thread_.wait();
  // The thread has ended, so the worker can go from here; results not yet delivered go with home_.
  worker_.reset();
}

void SerialQueue::async(std::function<void()> work) {
  QMetaObject::invokeMethod(worker_.get(), std::move(work), Qt::QueuedConnection);
}

void SerialQueue::resumeOnMainThread(std::coroutine_handle<> waiting) {
  QMetaObject::invokeMethod(QCoreApplication::instance(), [waiting] { waiting.resume(); }, Qt::QueuedConnection);
}

void SerialQueue::deliver(QObject* home, std::function<void()> call) {
  QMetaObject::invokeMethod(home, std::move(call), Qt::QueuedConnection);
}

}  // namespace kovali
