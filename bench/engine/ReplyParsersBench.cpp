// Times the reply parsers over a listing of 10,000 items (the target is well under 5 ms per
// listing). Run a Release build: bench_reply_parsers [items] [rounds]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ReplyParser.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

template <typename F>
double BestOf(int rounds, F&& f) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        f();
        best = std::min(best, Milliseconds(Clock::now() - start));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;

    std::string list = "LIST 1 2 3 'programs:' 'sel' 5 \"title\" 7 ";
    std::string listing;
    for (int i = 0; i < count; ++i) {
        const std::string name = std::to_string(i % 128) + " Program name " + std::to_string(i);
        list += "'" + name + "' ";
        listing += "OBJ 0 " + std::to_string(i + 16) + " 0 '" + name + "'\n";
    }
    listing += "OBJ 0 FFFF 0 'needle'\n";

    std::size_t items = 0;
    const double parse = BestOf(rounds, [&] {
        std::vector<std::string> out;
        CReplyParser::ParseListReply(list, out);
        items = out.size();
    });
    const double numbers = BestOf(rounds, [&] {
        std::vector<std::string> out;
        CReplyParser::ParseListReply(list, out);
        int sum = 0;
        for (const auto& e : out) {
            int n = 0;
            if (CReplyParser::EntryNumber(e, n)) sum += n;
        }
        std::fprintf(stderr, "%s", sum == -1 ? "?" : "");
    });
    std::int32_t key = 0;
    const double find =
        BestOf(rounds, [&] { key = CReplyParser::FindChildKey(listing, "needle"); });

    std::printf("ParseListReply: %zu items from %zu bytes: %.3f ms (best of %d)\n", items,
                list.size(), parse, rounds);
    std::printf("ParseListReply + entry numbers: %.3f ms\n", numbers);
    std::printf("FindChildKey over %d lines (match on the last): %.3f ms (key %X)\n", count + 1,
                find, static_cast<unsigned>(key));
    return 0;
}
