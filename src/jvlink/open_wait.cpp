#include "jvlink/open_wait.hpp"

#include <chrono>
#include <future>
#include <thread>

#include "store/cp932.hpp"

namespace tolven {

int run_open(JvLink& link, const std::function<int()>& open, const OpenWaitHost& host) {
    using Clock = std::chrono::steady_clock;
    std::packaged_task<int()> task(open);
    std::future<int> result = task.get_future();
    link.set_open_pending(true);
    std::thread worker(std::move(task));
    const auto started = Clock::now();
    int shown = 0;
    try {
        while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            if (host.process_events) host.process_events();
            // Asked again on every turn: an interrupt that reached the component
            // before its call began would otherwise be lost.
            if (host.cancelled && host.cancelled()) {
                link.interrupt();
            }
            int seconds = static_cast<int>(
                std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count());
            if (seconds >= kOpenNoticeSeconds && seconds != shown && host.waiting) {
                shown = seconds;
                host.waiting(seconds);
            }
        }
    } catch (...) {
        // The caller's side failed while the open still ran: the open is
        // given up and waited for, so that the thread ends before its
        // std::thread does (which would end the program) and nothing is left
        // calling the component; then the caller's error goes on.
        while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            link.interrupt();
        }
        worker.join();
        link.set_open_pending(false);
        throw;
    }
    worker.join();
    link.set_open_pending(false);
    if (shown > 0 && host.waiting) host.waiting(0);
    return result.get();
}

std::string open_wait_notice(int seconds) {
    return sj("JV-Link の応答を待っています（") + std::to_string(seconds) +
           sj(" 秒）。JV-Link が自分のウィンドウ（更新のお知らせ、利用規約など）で答えを待って"
              "いるかもしれません。そのウィンドウを確かめてください。中止もできます。");
}

}  // namespace tolven
