#include "task_pool.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace analyze {

void run_tasks(int count, int threads, const std::function<void(int)> &task, const int *stop,
               const std::function<void(int)> &done) {
    if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::clamp(threads, 1, std::max(count, 1));
    std::atomic<int> next{0};
    std::mutex done_mutex;
    auto work = [&] {
        for (int i = next++; i < count; i = next++) {
            if (*stop) continue;
            task(i);
            if (done) {
                std::lock_guard<std::mutex> lock(done_mutex);
                done(i);
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        // A thread that cannot be had leaves its share to the others.
        try {
            pool.emplace_back(work);
        } catch (const std::system_error &) {
            break;
        }
    }
    work();
    for (std::thread &thread : pool) thread.join();
}

}  // namespace analyze
