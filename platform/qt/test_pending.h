#pragma once
// What tests leave waiting (answers for dialogs that are yet to open, tasks
// posted for later) hangs on one object, so that a new test drops all the
// last one left at once (test_events::forget_pending).

#include <QObject>

namespace brek_platform::qt {

// The owner of waiting test work: parent of its timers and queues, context
// of its posted tasks. Made anew after forget_pending.
QObject* test_pending();

}  // namespace brek_platform::qt
