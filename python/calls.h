// How the binding calls the library: without the interpreter lock, under the library's threading
// rule, with the call's messages captured and handed to the Python side afterwards.
#ifndef PMLIB_PYTHON_CALLS_H
#define PMLIB_PYTHON_CALLS_H

#include <pmlib/error.h>
#include <pybind11/pybind11.h>

#include <exception>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace pmpython {

namespace py = pybind11;

/// Which locks a call takes, in this order: the object's own, then the set-up lock.
///
/// The library sets up modules and parts (and lists modules and architectures) through unlocked
/// process-wide tables, one thread at a time: every such call takes the one set-up lock. Each
/// object answers one thread at a time: its queries take the object's lock, since Python threads
/// may share one object.
struct Locks {
  std::mutex* object = nullptr;
  bool setup = false;
};

/// The lock that serialises setting up modules and parts.
std::mutex& SetupMutex();

/// Leaves out the debug traces unless PM_TRACE is set, as the library's default handler does.
void DropUntracedDebug(std::vector<Port::Message>& messages);

/// Hands the messages of a call to pmlib._deliver (the thread's open capture, else the "pmlib"
/// logger). Needs the interpreter lock.
void Deliver(const std::vector<Port::Message>& messages);

/// Runs @p call with the interpreter lock released and @p locks held, collecting the library's
/// messages on this thread; delivers them (and copies them to @p kept, when given) with the
/// interpreter lock back, then returns the result or rethrows what the call threw.
template <typename Call>
auto Run(Locks locks, Call&& call, std::vector<Port::Message>* kept = nullptr) {
  std::optional<decltype(call())> result;
  std::exception_ptr failure;
  std::vector<Port::Message> messages;
  {
    const py::gil_scoped_release release;
    std::unique_lock<std::mutex> objectGuard;
    if (locks.object) objectGuard = std::unique_lock<std::mutex>(*locks.object);
    std::unique_lock<std::mutex> setupGuard;
    if (locks.setup) setupGuard = std::unique_lock<std::mutex>(SetupMutex());
    pmlib::MessageCapture capture;
    try {
      result.emplace(call());
    } catch (...) {
      failure = std::current_exception();
    }
    messages = capture.take();
  }
  DropUntracedDebug(messages);
  if (kept) *kept = messages;
  Deliver(messages);
  if (failure) std::rethrow_exception(failure);
  return std::move(*result);
}

}  // namespace pmpython

#endif  // PMLIB_PYTHON_CALLS_H
