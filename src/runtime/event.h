// Events: optional callables that the raiser invokes only when assigned, so an unassigned event is skipped
// silently. Parameters a handler may change are references in the signature (`int32_t& result`).
//
// Thread contract: assigning and raising one event from two threads at once is a data race; raising an
// assigned event from several threads is safe when its handler is.
#pragma once

#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

namespace kvo {

class TObject;

template <typename Signature>
class Event;

template <typename R, typename... Args>
class Event<R(Args...)> {
 public:
  using Handler = std::function<R(Args...)>;

  Event() noexcept = default;
  Event(std::nullptr_t) noexcept {}  // NOLINT(google-explicit-constructor): `OnLoad = nullptr`
  template <typename F>
  requires(!std::is_same_v<std::remove_cvref_t<F>, Event> && std::is_invocable_r_v<R, F&, Args...>)
      Event(F&& handler)
      : handler_(std::forward<F>(handler)) {}  // NOLINT(google-explicit-constructor)

  // A plain function with a context pointer, raised without a std::function call: for handlers on hot paths.
  using PlainHandler = R (*)(void* context, Args...);
  static Event Plain(PlainHandler handler, void* context) noexcept {
    Event event;
    event.plain_ = handler;
    event.context_ = context;
    return event;
  }

  bool Assigned() const noexcept { return plain_ != nullptr || static_cast<bool>(handler_); }
  // True while the event is Plain(handler, context): lets an installer tell its own plain handler still
  // holds.
  bool IsPlain(PlainHandler handler, const void* context) const noexcept {
    return plain_ == handler && context_ == context;
  }
  explicit operator bool() const noexcept { return Assigned(); }
  void Clear() noexcept {
    handler_ = nullptr;
    plain_ = nullptr;
    context_ = nullptr;
  }
  // The assigned callable when it is a T, else null: lets an installer recognise its own handler.
  template <typename T>
  const T* Target() const noexcept {
    return handler_.template target<T>();
  }

  // Runs the handler when one is assigned. Unassigned: nothing happens and a non-void result is R{}.
  R operator()(Args... args) const {
    if (plain_) return plain_(context_, std::forward<Args>(args)...);
    if (!handler_) {
      if constexpr (std::is_void_v<R>) {
        return;
      } else {
        return R{};
      }
    }
    return handler_(std::forward<Args>(args)...);
  }

 private:
  Handler handler_;
  PlainHandler plain_ = nullptr;  // when set, raised instead of handler_ (which is then empty)
  void* context_ = nullptr;
};

// The plain event: only the object that raises it.
using TNotifyEvent = Event<void(TObject& sender)>;

}  // namespace kvo
