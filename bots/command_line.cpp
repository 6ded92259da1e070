// The command line: where the server is, how many bots for how long, and
// their seed, names, password and spreading.
#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bots/run.h"
#include "util/numbers.h"

namespace bots {

namespace {

void usage(FILE* out) {
    std::fprintf(
        out,
        "usage: tessaria-bots --connect HOST:PORT --count N --seconds S [--seed N]\n"
        "                     [--prefix NAME] [--password-file FILE] [--spread] [--run]\n"
        "  --connect HOST:PORT  the server\n"
        "  --count N            bots, 1..249, named PREFIX001 and on\n"
        "  --seconds S          how long they play before they stop and compare\n"
        "  --seed N             their random choices (default 1)\n"
        "  --prefix NAME        the start of their names (default bot; 1..12 characters)\n"
        "  --password-file FILE the server's password, on the file's first line\n"
        "  --spread             each bot walks to a place of its own, far from the others\n"
        "  --run                the bots run wherever they walk\n");
}

// The first line of the file, without its line end: on the command line a
// password would show in every user's process list.
bool readPassword(const char* path, std::string& password) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "tessaria-bots: cannot read the password file %s\n", path);
        return false;
    }
    std::getline(in, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.size() > 32 || !std::all_of(password.begin(), password.end(),
                                             [](char c) { return c >= ' ' && c <= '~'; })) {
        std::fprintf(stderr,
                     "tessaria-bots: the password in %s is not 0..32 printable characters\n", path);
        return false;
    }
    return true;
}

}  // namespace

bool parseArguments(int argc, char** argv, Run& run) {
    const option longOptions[] = {{"connect", required_argument, nullptr, 'c'},
                                  {"count", required_argument, nullptr, 'n'},
                                  {"seconds", required_argument, nullptr, 's'},
                                  {"seed", required_argument, nullptr, 'r'},
                                  {"prefix", required_argument, nullptr, 'p'},
                                  {"password-file", required_argument, nullptr, 'w'},
                                  {"spread", no_argument, nullptr, 'a'},
                                  {"run", no_argument, nullptr, 'u'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {nullptr, 0, nullptr, 0}};
    long number = 0;
    bool haveAddress = false;
    for (int c; (c = getopt_long(argc, argv, "c:n:s:r:p:w:auh", longOptions, nullptr)) != -1;) {
        switch (c) {
            case 'c':
                haveAddress = parseServerAddress(optarg, run.host, run.port);
                if (!haveAddress) {
                    std::fprintf(stderr, "tessaria-bots: --connect wants HOST:PORT, not %s\n",
                                 optarg);
                    return false;
                }
                break;
            case 'n':
                if (!util::parse_whole(optarg, 1, 249, number)) {
                    std::fprintf(stderr, "tessaria-bots: --count wants 1..249, not %s\n", optarg);
                    return false;
                }
                run.count = static_cast<int>(number);
                break;
            case 's':
                if (!util::parse_whole(optarg, 1, 86400, number)) {
                    std::fprintf(stderr, "tessaria-bots: --seconds wants 1..86400, not %s\n",
                                 optarg);
                    return false;
                }
                run.seconds = static_cast<int>(number);
                break;
            case 'r':
                if (!util::parse_whole(optarg, 0, 4294967295L, number)) {
                    std::fprintf(stderr, "tessaria-bots: --seed wants a number, not %s\n", optarg);
                    return false;
                }
                run.seed = static_cast<unsigned>(number);
                break;
            case 'p':
                run.prefix = optarg;
                if (run.prefix.size() > 12 || !isValidPlayerName(run.prefix)) {
                    std::fprintf(stderr,
                                 "tessaria-bots: --prefix wants 1..12 letters, digits, _ or -\n");
                    return false;
                }
                break;
            case 'w':
                if (!readPassword(optarg, run.password)) return false;
                break;
            case 'a':
                run.spread = true;
                break;
            case 'u':
                run.runs = true;
                break;
            case 'h':
                usage(stdout);
                std::exit(0);
            default:
                usage(stderr);
                return false;
        }
    }
    if (!haveAddress || run.count == 0 || run.seconds == 0 || optind < argc) {
        usage(stderr);
        return false;
    }
    return true;
}

}  // namespace bots
