#pragma once
// Runs a test's steps one per timer tick while a modal loop of this thread runs (a dialog, a
// message box), so that what one step posts is handled before the next one runs. If the loop
// is still running long after the last step, the script closes the active window and fails.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

class ModalScript {
public:
    using Step = std::function<void()>;

    explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
        current_ = this;
        timer_ = ::SetTimer(nullptr, 0, 20, &ModalScript::Tick);
    }
    ~ModalScript() {
        ::KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    bool Finished() const { return next_ == steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalScript* self = current_;
        if (!self || self->busy_) return;  // a step's own message box pumps this timer too
        self->busy_ = true;
        if (self->next_ < self->steps_.size()) {
            self->steps_[self->next_++]();
        } else if (++self->idleTicks_ == 100) {
            ADD_FAILURE() << "a modal window stayed open after the last step";
            if (HWND active = ::GetActiveWindow()) ::PostMessageA(active, WM_CLOSE, 0, 0);
        }
        self->busy_ = false;
    }

    static inline ModalScript* current_ = nullptr;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int idleTicks_ = 0;
    bool busy_ = false;
    UINT_PTR timer_ = 0;
};
