#include "platform/sound/sound_server_probe.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace kovali {

namespace {

struct LoopFree {
  void operator()(pa_mainloop* loop) const { pa_mainloop_free(loop); }
};
struct ContextUnref {
  void operator()(pa_context* context) const {
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
};

std::string refusal(pa_context* context) {
  return std::string("The sound server does not answer: ") + pa_strerror(pa_context_errno(context)) + ".";
}

}  // namespace

std::optional<std::string> soundServerProblem(double timeoutSeconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
  std::unique_ptr<pa_mainloop, LoopFree> loop(pa_mainloop_new());
  if (!loop) return "The sound server cannot be reached: out of memory.";
  std::unique_ptr<pa_context, ContextUnref> context(pa_context_new(pa_mainloop_get_api(loop.get()), "Kovali"));
  if (!context) return "The sound server cannot be reached: out of memory.";
  // The player does not start a server either.
  if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return refusal(context.get());
  while (Clock::now() < deadline) {
    switch (pa_context_get_state(context.get())) {
      case PA_CONTEXT_READY:
        return std::nullopt;
      case PA_CONTEXT_FAILED:
      case PA_CONTEXT_TERMINATED:
        return refusal(context.get());
      default:
        break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (pa_mainloop_prepare(loop.get(), static_cast<int>(std::max<long long>(left, 0))) < 0 ||
        pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0) {
      break;
    }
  }
  return "The sound server does not answer within " + std::to_string(static_cast<int>(timeoutSeconds)) + " s.";
}

}  // namespace kovali
