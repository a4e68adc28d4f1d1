// Applies 10,000 SendMessage actions to one channel, then reads the channel
// back. Prints "name value unit" lines.

#include "doc/apply.h"
#include "doc/readers.h"
#include "doc/writers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main() {
    const int kMessages =
        std::getenv("DOC_BENCH_MESSAGES") ? std::atoi(std::getenv("DOC_BENCH_MESSAGES")) : 10000;
    constexpr int kReads = 5;

    crdt::Document doc{crdt::ActorId{}};
    chat::doc::write_channel(doc, "c_bench", "ws", "cat", "bench", "", false, 0);
    doc.commit(0);

    // The last sends show the cost per send at the full channel length: each
    // send first checks that no message anywhere already uses its id.
    const int tail = std::min(100, kMessages);
    Clock::time_point tail_start;
    // CPU time as well as wall time: the build machine is shared, and the
    // processor time is what stays comparable between runs.
    std::clock_t cpu_start = std::clock();
    auto start = Clock::now();
    for (int i = 0; i < kMessages; ++i) {
        if (i == kMessages - tail)
            tail_start = Clock::now();
        char id[16];
        std::snprintf(id, sizeof id, "m_%05d", i);
        chat::ChatAction action{chat::ChatAction::SendMessage{
            .channel = "c_bench",
            .id = id,
            .author = i % 3 == 0 ? "u_me" : "u_lena",
            .ts = 1782471840 + i,
            .text = "Message number " + std::to_string(i) + " about the call overlay grid",
        }};
        chat::doc::apply_action(doc, action);
        doc.commit(1782471840 + i);
    }
    double apply_ms = ms_since(start);
    double apply_cpu_ms = 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
    double tail_ms = ms_since(tail_start);

    std::vector<double> reads;
    size_t count = 0;
    for (int r = 0; r < kReads; ++r) {
        auto t = Clock::now();
        count = chat::doc::read_messages(doc, "c_bench").size();
        reads.push_back(ms_since(t));
    }
    std::sort(reads.begin(), reads.end());
    if (count != kMessages) {
        std::fprintf(stderr, "doc_bench: read %zu messages, expected %d\n", count, kMessages);
        return 1;
    }

    std::printf("send_message_apply_total %.1f ms\n", apply_ms);
    std::printf("send_message_apply_cpu_total %.1f ms\n", apply_cpu_ms);
    std::printf("send_message_apply_mean %.1f us\n", apply_ms * 1000.0 / kMessages);
    std::printf("send_message_apply_last_100_mean %.1f us\n", tail_ms * 1000.0 / tail);
    std::printf("read_messages_10k_median %.2f ms\n", reads[reads.size() / 2]);
    std::printf("read_messages_10k_min %.2f ms\n", reads.front());
    return 0;
}
