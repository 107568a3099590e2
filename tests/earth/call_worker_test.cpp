// The rules of the worker that makes calls into Google Earth, with fake jobs in place of COM.
#include "earth/call_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {
namespace {

using namespace std::chrono_literals;

// What the jobs work on: a log of what they did, and a table of things made that must be released.
struct Objects {
    std::mutex mutex;
    std::vector<std::string> done;
    std::vector<int> held;
    std::thread::id thread = std::this_thread::get_id();
    void Did(const std::string& what) {
        std::lock_guard lock(mutex);
        done.push_back(what);
    }
};

// What the thread's hooks saw; shared, since the thread may outlive the worker.
struct Trace {
    std::thread::id entered;
    std::promise<void> left;
    std::atomic<bool> didLeave{false};
};

struct Fixture {
    explicit Fixture(uint64_t callMs = 100, EarthBudget* budget = nullptr, bool enters = true)
        : trace(std::make_shared<Trace>()), worker(Hooks(enters), budget, callMs) {}

    CallWorker<Objects>::Hooks Hooks(bool enters) {
        return {[this](std::atomic<bool>&) {
                    auto o = std::make_unique<Objects>();
                    objects = o.get();
                    return o;
                },
                [trace = trace, enters] {
                    trace->entered = std::this_thread::get_id();
                    return enters;
                },
                [trace = trace] {
                    trace->didLeave = true;
                    trace->left.set_value();
                }};
    }
    // A job that does not end until `release` is set.
    std::function<std::optional<int>(Objects&)> Blocking(std::shared_future<void> release, int answer) {
        return [release, answer](Objects& o) -> std::optional<int> {
            release.wait();
            o.Did("blocking " + std::to_string(answer));
            return answer;
        };
    }
    std::vector<std::string> Done() {
        // A job posted after everything else has run once it has.
        auto ran = std::make_shared<std::promise<void>>();
        worker.Post([ran](Objects&) { ran->set_value(); });
        EXPECT_EQ(ran->get_future().wait_for(5s), std::future_status::ready);
        std::lock_guard lock(objects->mutex);
        return objects->done;
    }

    Objects* objects = nullptr;  // made on the thread before its first job runs
    std::shared_ptr<Trace> trace;
    CallWorker<Objects> worker;
};

std::optional<int> Answer(Objects& o, int n) {
    o.Did("call " + std::to_string(n));
    return n;
}

TEST(CallWorker, RunsJobsInOrderOnItsOwnThreadAndLetsGoThereWhenDropped) {
    std::future<void> left;
    std::thread::id callerThread = std::this_thread::get_id(), jobThread, madeOn, enteredOn;
    {
        Fixture f;
        left = f.trace->left.get_future();
        EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 1); }), 1);
        f.worker.Post([&](Objects& o) {
            o.Did("posted");
            jobThread = std::this_thread::get_id();
        });
        EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 2); }), 2);
        EXPECT_EQ(f.Done(), (std::vector<std::string>{"call 1", "posted", "call 2"}));
        madeOn = f.objects->thread;
        enteredOn = f.trace->entered;
        EXPECT_FALSE(f.worker.Stuck());
    }
    EXPECT_NE(jobThread, callerThread);
    EXPECT_EQ(madeOn, jobThread);
    EXPECT_EQ(enteredOn, jobThread);
    EXPECT_EQ(left.wait_for(5s), std::future_status::ready) << "the thread ends once dropped";
}

TEST(CallWorker, AThreadThatCouldNotEnterDoesNotLeave) {
    std::shared_ptr<Trace> trace;
    {
        Fixture f(100, nullptr, false);
        trace = f.trace;
        EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 1); }), 1);
    }
    std::this_thread::sleep_for(300ms);  // time for the thread to end
    EXPECT_FALSE(trace->didLeave);
}

TEST(CallWorker, ACallOutOfTimeIsAbandonedAndLaterCallsAreRefusedUntilItEnds) {
    Fixture f(50);
    std::promise<void> release;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.worker.Call<int>(f.Blocking(release.get_future().share(), 7)), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(f.worker.Stuck());

    start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 8); }), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20ms) << "refused at once, not waited for";

    release.set_value();
    for (int i = 0; i < 500 && f.worker.Stuck(); ++i) std::this_thread::sleep_for(2ms);
    EXPECT_FALSE(f.worker.Stuck()) << "the late answer ends the stuck state";
    EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 9); }), 9);
    EXPECT_EQ(f.Done(), (std::vector<std::string>{"blocking 7", "call 9"})) << "the refused call never ran";
}

TEST(CallWorker, WhatAnAbandonedCallMadeIsLetGoOfThere) {
    Fixture f(30);
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    std::thread::id discardedOn;
    auto made = f.worker.Call<int>(
        [gate](Objects& o) -> std::optional<int> {
            gate.wait();
            o.held.push_back(41);
            return 41;
        },
        [&](Objects& o, int& id) {
            std::erase(o.held, id);
            discardedOn = std::this_thread::get_id();
        });
    EXPECT_EQ(made, std::nullopt);
    release.set_value();
    f.Done();
    EXPECT_TRUE(f.objects->held.empty());
    EXPECT_EQ(discardedOn, f.objects->thread);

    // A caller still there keeps what was made.
    auto kept = f.worker.Call<int>(
        [](Objects& o) -> std::optional<int> {
            o.held.push_back(42);
            return 42;
        },
        [](Objects& o, int& id) { std::erase(o.held, id); });
    EXPECT_EQ(kept, 42);
    f.Done();
    EXPECT_EQ(f.objects->held, std::vector<int>{42});
}

TEST(CallWorker, SendsAreNotWaitedForTheNewestOfEachSlotWinsAndAHungOneIsSeen) {
    Fixture f(30);
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    auto send = [&](int slot, std::string what) {
        return f.worker.Send(slot, [what](Objects& o) {
            o.Did(what);
            return true;
        });
    };
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(f.worker.Send(1, [gate](Objects& o) {
        gate.wait();  // a camera move that hangs
        o.Did("move hung");
        return true;
    }), SendResult::queued);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 25ms) << "nobody waited";
    for (int i = 0; i < 500 && !f.worker.Stuck(); ++i) std::this_thread::sleep_for(2ms);
    EXPECT_TRUE(f.worker.Stuck()) << "a send running past a call's time";
    EXPECT_EQ(send(1, "move a"), SendResult::queued);
    EXPECT_EQ(send(2, "open a"), SendResult::queued);
    EXPECT_EQ(send(1, "move b"), SendResult::queued);
    EXPECT_EQ(send(CallWorker<Objects>::kNoSlot, "loose a"), SendResult::queued);
    EXPECT_EQ(send(CallWorker<Objects>::kNoSlot, "loose b"), SendResult::queued);
    release.set_value();
    for (int i = 0; i < 500 && f.worker.Stuck(); ++i) std::this_thread::sleep_for(2ms);
    EXPECT_FALSE(f.worker.Stuck());
    EXPECT_EQ(f.Done(), (std::vector<std::string>{"move hung", "open a", "move b", "loose a", "loose b"}));

    // Not stuck: every send goes out, in order; a call goes ahead of those still queued.
    std::promise<void> hold;
    std::shared_future<void> held = hold.get_future().share();
    f.worker.Post([held](Objects&) { held.wait(); });
    send(1, "move c");
    send(1, "move d");
    std::thread late([&] {
        std::this_thread::sleep_for(10ms);
        hold.set_value();
    });
    EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 6); }), 6);
    late.join();
    std::vector<std::string> done = f.Done();
    EXPECT_EQ(std::vector<std::string>(done.end() - 3, done.end()),
              (std::vector<std::string>{"call 6", "move c", "move d"}));

    f.worker.LostFlag() = true;
    EXPECT_EQ(send(1, "move d"), SendResult::refused);
    EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 5); }), std::nullopt);
}

TEST(CallWorker, AWaitedSendIsAnsweredUnlessTheWorkerIsStuck) {
    Fixture f(30);
    EXPECT_EQ(f.worker.Send(2, [](Objects&) { return true; }, SendWait::waited), SendResult::done);
    EXPECT_EQ(f.worker.Send(2, [](Objects&) { return false; }, SendWait::waited), SendResult::failed);
    std::promise<void> release;
    f.worker.Send(1, [gate = release.get_future().share()](Objects&) {
        gate.wait();
        return true;
    });
    for (int i = 0; i < 500 && !f.worker.Stuck(); ++i) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(f.worker.Send(2, [](Objects& o) { return Answer(o, 1).has_value(); }, SendWait::waited),
              SendResult::queued) << "behind a hung one, it goes out late";
    release.set_value();
    EXPECT_EQ(f.Done(), std::vector<std::string>{"call 1"});

    // One that outlasts its action goes out late, and makes nobody stuck: the next waited one is waited for.
    SystemSteadyClock clock;
    EarthBudget budget(clock, 200);
    Fixture g(1000, &budget);
    EarthBudget::Action action(budget);
    EXPECT_EQ(g.worker.Send(2, [](Objects& o) {
        std::this_thread::sleep_for(300ms);
        return Answer(o, 2).has_value();
    }, SendWait::waited), SendResult::queued);
    EXPECT_FALSE(g.worker.Stuck());
    EarthBudget::Action next(budget);
    EXPECT_EQ(g.worker.Send(2, [](Objects& o) { return Answer(o, 3).has_value(); }, SendWait::waited),
              SendResult::done);
    EXPECT_EQ(g.Done(), (std::vector<std::string>{"call 2", "call 3"}));

    // A worker made to wait for sends waits for every one.
    CallWorker<Objects> client({[](std::atomic<bool>&) { return std::make_unique<Objects>(); }, {}, {}}, nullptr, 1000,
                               true);
    EXPECT_EQ(client.Send(1, [](Objects&) { return true; }), SendResult::done);
    EXPECT_EQ(client.Send(1, [](Objects&) { return false; }), SendResult::failed);
}

TEST(CallWorker, OneActionWaitsNoLongerThanItsBudgetOverAllItsCalls) {
    SystemSteadyClock clock;
    EarthBudget budget(clock, 700);
    Fixture f(700, &budget);
    auto slow = [](Objects& o) -> std::optional<int> {
        std::this_thread::sleep_for(250ms);
        o.Did("slow");
        return 1;
    };
    auto start = std::chrono::steady_clock::now();
    int answered = 0;
    {
        EarthBudget::Action action(budget);
        for (int i = 0; i < 4; ++i) answered += f.worker.Call<int>(slow).has_value();
    }
    auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(answered, 2) << "two calls of 250 ms fit in 700 ms, the third is given up on";
    EXPECT_LT(spent, 900ms);
    for (int i = 0; i < 1000 && f.worker.Stuck(); ++i) std::this_thread::sleep_for(2ms);

    {
        // A spent action refuses calls without queuing them, and keeps sends to go out late.
        EarthBudget::Action action(budget);
        std::this_thread::sleep_for(710ms);
        EXPECT_EQ(budget.RemainingMs(), 0u);
        EXPECT_EQ(f.worker.Call<int>([](Objects& o) { return Answer(o, 3); }), std::nullopt);
        EXPECT_FALSE(f.worker.Stuck());
        EXPECT_EQ(f.worker.Send(1, [](Objects& o) { return Answer(o, 4).has_value(); }), SendResult::queued);
        {
            EarthBudget::Action inner(budget);  // a message handled meanwhile is an action of its own
            EXPECT_GT(budget.RemainingMs(), 500u);
        }
        EXPECT_EQ(budget.RemainingMs(), 0u);
    }
    EXPECT_EQ(budget.RemainingMs(), 700u) << "outside any action each call has a whole budget";
    EXPECT_EQ(f.Done(), (std::vector<std::string>{"slow", "slow", "slow", "call 4"}));
}

}  // namespace
}  // namespace qv
