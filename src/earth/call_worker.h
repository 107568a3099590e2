#pragma once
// A thread that makes the calls into another process, so that a process that
// is slow, hung or gone holds up that thread and nothing else.
//
// The rules, each tested natively with fake jobs:
//  1. Jobs run one at a time, in the order given, on the worker's own thread.
//     The objects they use (`Objects`) are made, used and released there only.
//  2. `Call` waits for its job's answer within what the caller's budget has
//     left (see EarthBudget). When that runs out, the job is abandoned: the
//     call answers nothing and the worker is stuck until that job ends. While
//     stuck, calls are refused at once, without being queued.
//  3. A send (a camera move, a file load) goes out in turn. A `waited` one is
//     waited for while the worker is not stuck and the action has time left;
//     past that it goes out late, making nobody stuck. Any other is not
//     waited for. While the worker is stuck, a
//     newer send of the same slot replaces one that has not gone out yet, so
//     the newest wins. A call goes out before the sends still queued: its
//     caller's time is not spent on work nobody waits for. `Send` tells an
//     answer from queued and from refused. (A worker made to wait for sends,
//     for a test client, waits for every one.)
//  4. The worker also counts as stuck while any job has run longer than a
//     call may wait: a hung send is seen although nobody waits for it.
//  5. A call whose caller has given up hands what its job made to its
//     `discard`, on the worker's thread, so nothing the caller can no longer
//     reach is kept there.
//  6. Once `lost` is set (the other process is gone), calls and sends are
//     refused.
//  7. Dropping the worker lets its thread finish what is queued and end;
//     nobody waits for it. A thread that cannot be started refuses everything.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "base/timing.h"

namespace qv {

// How long the window thread may wait for the other process in one of its
// actions (one tick, one button press, one zoom step), summed over its calls.
// Used from the window thread only.
class EarthBudget {
public:
    static constexpr uint64_t kActionMs = 300;

    explicit EarthBudget(const SteadyClock& clock, uint64_t actionMs = kActionMs)
        : clock_(clock), actionMs_(actionMs) {}

    // One action of the window thread: its calls share one budget. Actions
    // nest (a message handled in a pump is an action of its own); the outer
    // one's time goes on meanwhile.
    class Action {
    public:
        explicit Action(EarthBudget& budget) : budget_(budget), outer_(budget.deadline_) {
            budget.deadline_ = budget.clock_.NowMs() + budget.actionMs_;
        }
        ~Action() { budget_.deadline_ = outer_; }
        Action(const Action&) = delete;
        Action& operator=(const Action&) = delete;

    private:
        EarthBudget& budget_;
        std::optional<uint64_t> outer_;
    };

    // How long the next call may wait: what the action has left, or a whole
    // budget outside any action.
    uint64_t RemainingMs() const {
        if (!deadline_) return actionMs_;
        uint64_t now = clock_.NowMs();
        return now >= *deadline_ ? 0 : *deadline_ - now;
    }

private:
    const SteadyClock& clock_;
    uint64_t actionMs_;
    std::optional<uint64_t> deadline_;
};

// What became of a send.
enum class SendResult {
    queued,   // it goes out in turn
    refused,  // it will never go out: the other process is gone
    done,     // waited for (see waitForSends): it went out and was answered yes
    failed,   // waited for: the answer was no, or none came in time
};

// Whether the caller waits for a send's answer.
enum class SendWait { no, waited };

template <class Objects>
class CallWorker {
public:
    using Slot = int;  // 0: none; sends of one other slot replace each other while queued
    static constexpr Slot kNoSlot = 0;

    struct Hooks {
        std::function<std::unique_ptr<Objects>(std::atomic<bool>& lost)> make;  // on the thread, first
        std::function<bool()> enter;  // on the thread before `make`; false: leave is not run
        std::function<void()> leave;  // on the thread, once the objects are released
    };

    CallWorker(Hooks hooks, EarthBudget* budget, uint64_t callMs, bool waitForSends = false)
        : shared_(std::make_shared<Shared>()), budget_(budget), callMs_(callMs), waitForSends_(waitForSends) {
        try {
            std::thread(Run, shared_, std::move(hooks)).detach();
        } catch (...) {
            shared_->lost = true;  // no thread: nothing can ever be answered
        }
    }
    ~CallWorker() {
        std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        shared_->wake.notify_all();
    }
    CallWorker(const CallWorker&) = delete;
    CallWorker& operator=(const CallWorker&) = delete;

    bool Lost() const { return shared_->lost; }
    bool Stuck() const {
        std::lock_guard lock(shared_->mutex);
        return StuckLocked();
    }

    // Runs `work` there and waits for its answer; nothing when refused, out of
    // time or when the job answers nothing. What a job answers after its
    // caller has gone is handed to `discard` there.
    template <class R>
    std::optional<R> Call(std::function<std::optional<R>(Objects&)> work,
                          std::function<void(Objects&, R&)> discard = {}) {
        auto answer = std::make_shared<std::optional<R>>();
        auto waiter = std::make_shared<Waiter>();
        auto job = [work = std::move(work), discard = std::move(discard), answer, waiter,
                    shared = shared_.get()](Objects& o) {
            std::optional<R> r = work(o);
            bool gone;
            {
                std::lock_guard lock(shared->mutex);
                gone = waiter->abandoned;
                if (!gone) *answer = std::move(r);
            }
            if (gone && r && discard) discard(o, *r);
        };
        if (!Wait(std::move(job), waiter)) return std::nullopt;
        std::lock_guard lock(shared_->mutex);
        return std::move(*answer);
    }

    // A job whose going out matters, not its answer (a camera move, a file
    // load); see rule 3.
    SendResult Send(Slot slot, std::function<bool(Objects&)> work, SendWait wait = SendWait::no) {
        std::unique_lock lock(shared_->mutex);
        if (shared_->lost) return SendResult::refused;
        uint64_t waitMs = waitForSends_ ? callMs_ : wait == SendWait::waited && !StuckLocked() ? Remaining() : 0;
        if (waitMs > 0) {
            // In turn with the other sends; waited for while the action has time, then left to go out late
            // (which makes nobody stuck: it is a send).
            auto waiter = std::make_shared<Waiter>();
            auto answer = std::make_shared<bool>(false);
            shared_->queue.push_back({[work = std::move(work), waiter, answer, shared = shared_.get()](Objects& o) {
                                          bool r = work(o);
                                          std::lock_guard done(shared->mutex);
                                          *answer = r;
                                      },
                                      slot, waiter});
            shared_->wake.notify_all();
            if (!shared_->done.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return waiter->finished; })) {
                waiter->abandoned = true;
                return SendResult::queued;
            }
            if (shared_->lost && !*answer) return SendResult::refused;
            return *answer ? SendResult::done : SendResult::failed;
        }
        if (StuckLocked())
            std::erase_if(shared_->queue, [&](const Job& j) { return j.slot == slot && slot != kNoSlot; });
        shared_->queue.push_back({[work = std::move(work)](Objects& o) { work(o); }, slot, nullptr});
        shared_->wake.notify_all();
        return SendResult::queued;
    }

    // Work that must happen there and that nobody waits for (releasing objects).
    void Post(std::function<void(Objects&)> work) {
        std::lock_guard lock(shared_->mutex);
        shared_->queue.push_back({std::move(work), kNoSlot, nullptr});
        shared_->wake.notify_all();
    }

    // For the thread's own jobs to report what they learn.
    std::atomic<bool>& LostFlag() { return shared_->lost; }

private:
    struct Waiter {
        bool finished = false;
        bool abandoned = false;
        bool stuckWhileOut = false;  // an abandoned call: the worker is stuck until it ends
    };
    struct Job {
        std::function<void(Objects&)> work;
        Slot slot = kNoSlot;
        std::shared_ptr<Waiter> waiter;
    };
    // Shared by the caller's side and the thread; outlives whichever ends last.
    struct Shared {
        mutable std::mutex mutex;
        std::condition_variable wake;  // work for the thread
        std::condition_variable done;  // a job somebody waits for has ended
        std::deque<Job> queue;
        bool quit = false;
        bool stuck = false;  // a job was waited for in vain and has not ended yet
        std::optional<std::chrono::steady_clock::time_point> runningSince;  // the job under way began then
        std::atomic<bool> lost{false};
    };

    bool StuckLocked() const {
        return shared_->stuck || (shared_->runningSince && std::chrono::steady_clock::now() - *shared_->runningSince >
                                                               std::chrono::milliseconds(callMs_));
    }

    uint64_t Remaining() const { return budget_ ? std::min(budget_->RemainingMs(), callMs_) : callMs_; }

    // Queues the job and waits for it within the budget; false when refused or out of time.
    bool Wait(std::function<void(Objects&)> work, const std::shared_ptr<Waiter>& waiter) {
        std::unique_lock lock(shared_->mutex);
        if (shared_->stuck || shared_->lost) return false;
        uint64_t wait = Remaining();
        if (wait == 0) return false;  // this action has spent its time: not even queued
        auto firstSend = std::find_if(shared_->queue.begin(), shared_->queue.end(),
                                      [](const Job& j) { return j.slot != kNoSlot; });
        shared_->queue.insert(firstSend, {std::move(work), kNoSlot, waiter});
        shared_->wake.notify_all();
        if (!shared_->done.wait_for(lock, std::chrono::milliseconds(wait), [&] { return waiter->finished; })) {
            waiter->abandoned = true;
            waiter->stuckWhileOut = true;
            shared_->stuck = true;
            return false;
        }
        return true;
    }

    static void Run(std::shared_ptr<Shared> shared, Hooks hooks) {
        bool entered = !hooks.enter || hooks.enter();
        {
            std::unique_ptr<Objects> objects = hooks.make(shared->lost);
            for (;;) {
                Job job;
                {
                    std::unique_lock lock(shared->mutex);
                    shared->wake.wait(lock, [&] { return shared->quit || !shared->queue.empty(); });
                    if (shared->queue.empty()) break;  // told to end, and nothing is left to do
                    job = std::move(shared->queue.front());
                    shared->queue.pop_front();
                    shared->runningSince = std::chrono::steady_clock::now();
                }
                try {
                    job.work(*objects);
                } catch (...) {
                    // A failed job is a failed call; the thread goes on.
                }
                std::lock_guard lock(shared->mutex);
                shared->runningSince.reset();
                if (job.waiter) {
                    job.waiter->finished = true;
                    if (job.waiter->stuckWhileOut) shared->stuck = false;
                    shared->done.notify_all();
                }
            }
        }  // the objects are released here, on the thread that made them
        if (entered && hooks.leave) hooks.leave();
    }

    std::shared_ptr<Shared> shared_;
    EarthBudget* budget_;
    uint64_t callMs_;
    bool waitForSends_;
};

}  // namespace qv
