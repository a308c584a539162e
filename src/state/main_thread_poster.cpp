#include "main_thread_poster.h"

#include <utility>

#include <QCoreApplication>
#include <QMetaObject>

namespace zonkle {

MainThreadPoster qtMainThreadPoster() {
    // Posted events to one receiver are delivered in the order they were posted.
    return [](std::function<void()> task) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
    };
}

} // namespace zonkle
