#include "platform/WorkerThread.h"

#include <utility>

namespace platform {

WorkerThread::WorkerThread(UiCallQueue& ui, std::function<void(std::stop_token)> body)
    : ui_(ui), thread_([this, body = std::move(body)](std::stop_token stop) {
          if (!stop.stop_requested()) {
              try {
                  body(std::move(stop));
              } catch (...) {
                  // Nothing sensible is left to tell anyone from here.
              }
          }
          ended_.store(true, std::memory_order_release);
          ui_.Notify();
      }) {}

WorkerThread::~WorkerThread() {
    RequestStop();
    WaitForEnd();
}

void WorkerThread::WaitForEnd() {
    ui_.RunUntil([this] { return Ended(); });
    if (thread_.joinable())
        thread_.join();
}

}  // namespace platform
