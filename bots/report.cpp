// The report: who joined, the edits confirmed and how long others took to
// see them, the bytes, the desyncs, and the refusals.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "bots/run.h"

namespace bots {

namespace {

// The first receipt of block at cell from `from` on, within the window.
// The editing bot's receipt of its edit's block at the cell, from the Use on:
// the server's word at the end of its action.
const Receipt* confirmation(const Bot& bot, const Edit& edit) {
    const auto found = bot.receipts.find(edit.cell);
    if (found == bot.receipts.end()) return nullptr;
    for (const Receipt& r : found->second) {
        if (r.at < edit.sent) continue;
        if (r.at > edit.sent + kReceiptWindow) break;
        if (r.block == edit.block) return &r;
    }
    return nullptr;
}

// Another bot's receipt of the edit: the first word on the cell from the Use
// on, when it carries the edit's block. A server that changed nothing there
// (the cell already held it) sends nothing, and a later edit's receipt must
// not count as this one's.
const Receipt* receiptOf(const Bot& bot, const Edit& edit) {
    const auto found = bot.receipts.find(edit.cell);
    if (found == bot.receipts.end()) return nullptr;
    for (const Receipt& r : found->second) {
        if (r.at < edit.sent) continue;
        return r.block == edit.block ? &r : nullptr;
    }
    return nullptr;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(share * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

}  // namespace

int report(Run& run, Observation& seen, Clock::time_point ended) {
    Bot& observer = seen.observer;
    const bool observed = seen.observed;
    const std::string& unobserved = seen.unobserved;
    int joined = 0, compared = 0, desyncs = 0, reconnects = 0;
    double bytesPerSecond = 0.0;
    int everPlayed = 0;
    for (const auto& bot : run.bots) {
        reconnects += bot->reconnects;
        if (bot->everPlayed) {
            everPlayed += 1;
            const double seconds = std::chrono::duration<double>(ended - bot->firstPlayed).count();
            if (seconds > 0) bytesPerSecond += static_cast<double>(bot->bytesReceived()) / seconds;
        }
        if (!bot->playing()) continue;
        joined += 1;
        if (!observed) continue;
        compared += 1;
        std::string cells;
        if (cellsApart(*bot, *observer.grid, &cells) == 0) continue;
        desyncs += 1;
        std::fprintf(stderr, "bots: %s: its world differs from the server's in %s\n",
                     bot->name.c_str(), cells.c_str());
    }
    std::map<std::string, int> refusals;
    for (const auto& bot : run.bots)
        if (!bot->gaveUp.empty()) refusals[bot->gaveUp] += 1;
    if (everPlayed > 0) bytesPerSecond /= everPlayed;

    int confirmed = 0;
    std::vector<double> latencies;
    for (const Edit& edit : run.edits) {
        if (!confirmation(*run.bots[static_cast<std::size_t>(edit.bot)], edit)) continue;
        confirmed += 1;
        // A liquid placed spreads: its cell may fill from the flood as well
        // as from the edit, and that would time the flood, not the edit.
        if (edit.block == Water || edit.block == Lava) continue;
        const auto ends = edit.sent + kActionTime;
        for (std::size_t i = 0; i < run.bots.size(); ++i) {
            if (static_cast<int>(i) == edit.bot ||
                !run.bots[i]->wasPresent(edit.sent, ends + kQuietTime))
                continue;
            if (const Receipt* r = receiptOf(*run.bots[i], edit))
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(r->at - edit.sent).count());
        }
    }
    for (const auto& bot : run.bots) bot->session.reset();  // each says goodbye
    observer.session.reset();

    std::printf("bots: %d actions asked, %zu edits made here, %d chat lines, %d reconnects\n",
                run.asked, run.edits.size(), run.chats, reconnects);
    std::printf("bots: edit latency p50 %.1f ms over %zu receipts\n", percentile(latencies, 0.5),
                latencies.size());
    for (const auto& [why, bots] : refusals)
        std::printf("bots: %d of %d bots were refused: %s\n", bots, run.count, why.c_str());
    if (observed) std::printf("bots: %d bots compared with the server's world\n", compared);
    else
        std::printf(
            "bots: no bot was compared with the server's world: the observer (%s) could "
            "not join: %s\n",
            observer.name.c_str(), unobserved.c_str());
    std::printf(
        "bots: %d joined, %d edits, %.1f ms p99 edit latency, %.0f B/s per bot, %d desyncs\n",
        joined, confirmed, percentile(latencies, 0.99), bytesPerSecond, desyncs);
    return observed && refusals.empty() ? 0 : 1;
}

}  // namespace bots
