// The observer: once the bots stop, a fresh player joins, walks nowhere and
// asks for every piece a bot holds or edited; the bots' copies are compared
// with its.
#include <algorithm>
#include <set>

#include "bots/run.h"

namespace bots {

// The pieces a bot holds now: those it is compared on.
std::vector<int> heldPieces(const Bot& bot) {
    std::vector<int> pieces;
    if (!bot.session) return pieces;
    const int across = (bot.session->columns() + kPieceEdge - 1) / kPieceEdge;
    const int down = (bot.session->rows() + kPieceEdge - 1) / kPieceEdge;
    for (int py = 0; py < down; ++py)
        for (int px = 0; px < across; ++px)
            if (bot.session->pieceHeld(px * kPieceEdge, py * kPieceEdge) == PieceHeld::Held)
                pieces.push_back(pieceKey(px, py));
    return pieces;
}

// The cells where a bot's pieces and the observer's copies of them differ:
// how many, and the first few for the log.
int cellsApart(const Bot& bot, const WorldGrid& server, std::string* text) {
    int n = 0;
    const int columns = bot.session->columns(), rows = bot.session->rows();
    for (const int piece : heldPieces(bot)) {
        const int x0 = (piece % kMostPieces) * kPieceEdge, y0 = (piece / kMostPieces) * kPieceEdge;
        for (int x = x0; x < std::min(columns, x0 + kPieceEdge); ++x)
            for (int y = y0; y < std::min(rows, y0 + kPieceEdge); ++y)
                for (int level = 0; level < kLevels; ++level) {
                    const int mine = cellOf(*bot.grid, x, y, level);
                    const int theirs = cellOf(server, x, y, level);
                    if (mine == theirs || ++n > 4 || text == nullptr) continue;
                    *text += " (" + std::to_string(x) + "," + std::to_string(y) + "," +
                             std::to_string(level) + ") " + std::to_string(mine) + " not " +
                             std::to_string(theirs);
                }
    }
    if (text != nullptr) *text = std::to_string(n) + " cells:" + *text + (n > 4 ? " ..." : "");
    return n;
}

void observeServer(Run& run, Observation& seen) {
    // The server's world, as a player who joins now gets it.
    Bot& observer = seen.observer;
    observer.name = run.prefix + "-obs";
    observer.session = sessionFor(run, observer);
    observer.session->onCell([&run, &observer](int, int, int, int) {
        if (observer.playing()) run.lastCell = Clock::now();
    });
    // The observer's join wakes the water at its level; the bots compare once
    // that has come to rest too, or, in a world that never rests, after a
    // while. A change on its way in the last tick is given a second look.
    auto settled = Clock::time_point::max();
    const auto observe = [&](Clock::time_point end, milliseconds quiet) {
        tickUntil(
            run, end,
            [&](Clock::time_point now) {
                if (observer.session->phase() == SessionPhase::Ended) return true;
                observer.session->pump(observer.world(), observer.self, observer.view);
                if (observer.playing() && settled == Clock::time_point::max()) settled = now;
                return now - settled > milliseconds(500) && now - run.lastCell > quiet;
            },
            [&](Bot& bot, int index, int tick) { act(run, bot, index, tick, false); });
    };
    observe(Clock::now() + std::chrono::seconds(10), milliseconds(300));
    // Every piece a bot holds or edited, which the observer was not sent by
    // itself, asked for and waited for (each comes once per ask).
    const auto askFor = [&](const std::set<int>& pieces) {
        if (!observer.playing() || pieces.empty()) return;
        const std::uint64_t until = observer.session->piecesReceived() + pieces.size();
        auto next = pieces.begin();
        int tick = 0;
        tickUntil(
            run, Clock::now() + std::chrono::seconds(10) + pieces.size() * kTick * kAskEvery,
            [&](Clock::time_point) {
                if (observer.session->phase() == SessionPhase::Ended) return true;
                if (next != pieces.end() && ++tick % kAskEvery != 0) {
                    observer.session->askForPiece(*next % kMostPieces, *next / kMostPieces);
                    ++next;
                }
                observer.session->pump(observer.world(), observer.self, observer.view);
                return next == pieces.end() && observer.session->piecesReceived() >= until;
            },
            [&](Bot& bot, int index, int tick) { act(run, bot, index, tick, false); });
    };
    const auto unsent = [&](const std::set<int>& wanted) {
        std::set<int> ask;
        for (const int piece : wanted)
            if (observer.session->pieceHeld((piece % kMostPieces) * kPieceEdge,
                                            (piece / kMostPieces) * kPieceEdge) != PieceHeld::Held)
                ask.insert(piece);
        return ask;
    };
    std::set<int> touched;
    for (const Edit& edit : run.edits) {
        const int x = edit.cell / kLevels / kGridSizeY, y = edit.cell / kLevels % kGridSizeY;
        touched.insert(pieceKey(x / kPieceEdge, y / kPieceEdge));
    }
    for (const auto& bot : run.bots)
        if (bot->playing())
            for (const int piece : heldPieces(*bot)) touched.insert(piece);
    if (observer.playing()) askFor(unsent(touched));
    bool apart = false;
    for (const auto& bot : run.bots)
        apart = apart || (bot->playing() && cellsApart(*bot, *observer.grid, nullptr) > 0);
    if (apart) {
        // A change on its way in the last tick gets a second look.
        observe(Clock::now() + milliseconds(500), milliseconds(500));
        if (observer.playing()) askFor(unsent(touched));
    }
    seen.observed = observer.playing();
    if (!seen.observed) {
        seen.unobserved = lastingRefusal(*observer.session, run.count);
        if (seen.unobserved.empty()) seen.unobserved = observer.session->endText();
    }
}

}  // namespace bots
