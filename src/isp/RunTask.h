#pragma once
// The programming run as coroutines: every step that waits for the chip is a RunTask that
// the step above awaits, and the one place that waits (RunPause) hands control back to
// whoever drives the run. A driver that may block (the command line, the tests) serves
// its events and resumes at once; the window resumes from its event loop, so no handler
// of the window ever waits for the chip.
//
// g++ 12 loses the pause of a co_await written inside an if or switch condition
// (`if (co_await x)`, `switch (co_await x)`): await into a variable first. The
// init-statement of an if (`if (T v = co_await x; ...)`) is fine.

#include <coroutine>
#include <exception>
#include <utility>

namespace zenta::isp {

// Where a run waits: the innermost coroutine that paused and the longest it may wait
// before it is resumed (0: only a turn of the events).
class RunPausePoint {
  public:
    bool Paused() const { return static_cast<bool>(paused_); }
    int WaitMs() const { return waitMs_; }
    // Resumes the run where it paused; it runs until it pauses again or ends.
    void Resume() {
        const std::coroutine_handle<> h = std::exchange(paused_, {});
        if (h) {
            h.resume();
        }
    }

    // co_await point.Pause(ms)
    struct Awaiter {
        RunPausePoint& point;
        int waitMs;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) noexcept {
            point.paused_ = h;
            point.waitMs_ = waitMs;
        }
        void await_resume() const noexcept {}
    };
    Awaiter Pause(int waitMs) { return Awaiter{*this, waitMs}; }

  private:
    std::coroutine_handle<> paused_;
    int waitMs_ = 0;
};

// A lazily started coroutine that yields one value to the coroutine awaiting it, or, at
// the top, to its driver (Start, then Done and Result).
template <class T>
class [[nodiscard]] RunTask {
  public:
    struct promise_type {
        T value{};
        std::exception_ptr error;
        std::coroutine_handle<> continuation;

        RunTask get_return_object() {
            return RunTask(std::coroutine_handle<promise_type>::from_promise(*this));
        }
        std::suspend_always initial_suspend() noexcept { return {}; }
        struct Final {
            bool await_ready() const noexcept { return false; }
            std::coroutine_handle<> await_suspend(
                std::coroutine_handle<promise_type> h) const noexcept {
                const std::coroutine_handle<> next = h.promise().continuation;
                return next ? next : std::noop_coroutine();
            }
            void await_resume() const noexcept {}
        };
        Final final_suspend() noexcept { return {}; }
        void return_value(T v) { value = std::move(v); }
        void unhandled_exception() { error = std::current_exception(); }
    };

    RunTask() = default;
    explicit RunTask(std::coroutine_handle<promise_type> h) : h_(h) {}
    RunTask(RunTask&& other) noexcept : h_(std::exchange(other.h_, {})) {}
    RunTask& operator=(RunTask&& other) noexcept {
        if (this != &other) {
            Destroy();
            h_ = std::exchange(other.h_, {});
        }
        return *this;
    }
    RunTask(const RunTask&) = delete;
    RunTask& operator=(const RunTask&) = delete;
    // Destroying a paused run unwinds its frames without running any more of it.
    ~RunTask() { Destroy(); }

    // Awaited by another coroutine: runs this one, then the awaiting one with the value.
    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept {
        h_.promise().continuation = awaiting;
        return h_;
    }
    T await_resume() {
        if (h_.promise().error) {
            std::rethrow_exception(h_.promise().error);
        }
        return std::move(h_.promise().value);
    }

    // Driven from outside: runs up to the first pause (or the end).
    void Start() { h_.resume(); }
    bool Valid() const { return static_cast<bool>(h_); }
    bool Done() const { return h_ && h_.done(); }
    // After Done(): the value, or the exception that ended the run.
    T Result() { return await_resume(); }

  private:
    void Destroy() {
        if (h_) {
            h_.destroy();
            h_ = {};
        }
    }
    std::coroutine_handle<promise_type> h_;
};

}  // namespace zenta::isp
