// tessaria-server: hosts one world folder for players over TCP, with a
// console on standard input. No display: it runs where no graphics exist.
#include <getopt.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "server/server.h"
#include "util/numbers.h"

namespace {

Server* running = nullptr;

extern "C" void onStopSignal(int) {
    if (running != nullptr) running->requestStop();
}

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: tessaria-server [--port N] [--world DIR] [--max-players N] [--size N]\n"
                 "  --port N          TCP port to listen on (default 7777; 0 picks a free one)\n"
                 "  --world DIR       the world folder: world.sqlite, server.ini, admin.ini,\n"
                 "                    restore/ (default .)\n"
                 "  --max-players N   players at once (default: server.ini's, else 16)\n"
                 "  --size N          a folder with no world gets a new island of N x N columns:\n"
                 "                    20 (the default), 64, 128 or 300\n"
                 "console: list, say TEXT, kick NAME, ban NAME|ADDRESS, unban NAME|ADDRESS,\n"
                 "         whitelist on|off|add NAME|remove NAME, forget NAME [drop],\n"
                 "         history X Y, rollback NAME MINUTES, restore [N], stats, save, stop\n");
}

}  // namespace

int main(int argc, char** argv) {
    ServerOptions options;
    options.port = 7777;
    options.protectSpawn = 8;
    const option longOptions[] = {{"port", required_argument, nullptr, 'p'},
                                  {"world", required_argument, nullptr, 'w'},
                                  {"max-players", required_argument, nullptr, 'm'},
                                  {"size", required_argument, nullptr, 's'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {nullptr, 0, nullptr, 0}};
    long number = 0;
    for (int c; (c = getopt_long(argc, argv, "p:w:m:s:h", longOptions, nullptr)) != -1;) {
        switch (c) {
            case 'p':
                if (!util::parse_whole(optarg, 0, 65535, number)) {
                    std::fprintf(stderr, "tessaria-server: --port wants 0..65535, not %s\n",
                                 optarg);
                    return 2;
                }
                options.port = static_cast<std::uint16_t>(number);
                break;
            case 'w':
                options.worldFolder = optarg;
                break;
            case 'm':
                if (!util::parse_whole(optarg, 0, 250, number)) {
                    std::fprintf(stderr, "tessaria-server: --max-players wants 0..250, not %s\n",
                                 optarg);
                    return 2;
                }
                options.maxPlayers = static_cast<int>(number);
                break;
            case 's':
                if (!util::parse_whole(optarg, 20, 300, number) ||
                    (number != 20 && number != 64 && number != 128 && number != 300)) {
                    std::fprintf(stderr,
                                 "tessaria-server: --size wants 20, 64, 128 or 300, not %s\n",
                                 optarg);
                    return 2;
                }
                options.newWorldSize = static_cast<int>(number);
                break;
            case 'h':
                usage(stdout);
                return 0;
            default:
                usage(stderr);
                return 2;
        }
    }
    if (optind < argc) {
        usage(stderr);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    // Over the file size limit a write fails with EFBIG, which the saves
    // report, rather than ending the server.
    std::signal(SIGXFSZ, SIG_IGN);

    Server server(options);
    running = &server;
    struct sigaction stop {};
    stop.sa_handler = onStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    // A closed terminal or a lost SSH session must not cost the unsaved world.
    sigaction(SIGHUP, &stop, nullptr);
    if (!server.start()) return 1;

    // The console: a thread that only hands lines over. At the end of the
    // input (a service has none) the server goes on; the thread is left
    // blocked in its read when the process ends.
    std::thread console([&server] {
        std::string line;
        while (std::getline(std::cin, line)) server.command(line);
    });
    console.detach();

    const bool saved = server.run();
    running = nullptr;
    std::fflush(stdout);
    // The console thread may still sit in its read: leave without unwinding it.
    std::_Exit(saved ? 0 : 1);
}
