// RunUntil: waits for work the web engine finishes in the background (a
// page load, a print job), running the event loop meanwhile.
//
//   const Wait wait = RunUntil(limit, [&](QObject* context, const Done& done) {
//     QObject::connect(view, &QWebEngineView::printFinished, context, done);
//     view->print(&printer);
//   });
//
// start connects the signal that ends the work to done, with context as the
// connection's context object. context is destroyed when RunUntil returns,
// so a signal that arrives after the limit calls nothing. The nested event
// loop leaves the user's input (mouse, keys) for later: nothing the user
// does can reach the engine while it waits.
//
// Threads: the toolkit's user-interface thread only.
#ifndef ZAREL_DESKTOP_EVENT_WAIT_H_
#define ZAREL_DESKTOP_EVENT_WAIT_H_

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

namespace zarel {

using Done = std::function<void(bool success)>;

enum class Wait { kSucceeded, kFailed, kTimedOut };

template <typename Start>
Wait RunUntil(std::chrono::milliseconds limit, Start start) {
  QEventLoop loop;
  QObject context;
  bool finished = false;
  bool succeeded = false;
  start(&context, Done([&](bool success) {
          if (finished) return;
          finished = true;
          succeeded = success;
          loop.quit();
        }));
  if (!finished) {
    QTimer::singleShot(limit, &context, [&] { loop.quit(); });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  if (!finished) return Wait::kTimedOut;
  return succeeded ? Wait::kSucceeded : Wait::kFailed;
}

}  // namespace zarel

#endif  // ZAREL_DESKTOP_EVENT_WAIT_H_
