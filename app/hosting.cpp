// "Host this world": the game's own server on a thread, on the world
// chosen, which the game then joins as anyone must.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdio>
#include <memory>

#include "app/client_side.h"
#include "game/paths.h"
#include "game/played_world.h"
#include "game/settings.h"
#include "game/world_catalog.h"
#include "game/world_save.h"
#include "server/server_config.h"

namespace {

// The first IPv4 address of an interface that is up, other than loopback:
// the one others on the network most likely reach this machine at.
std::string networkAddress() {
    std::string found = "127.0.0.1";
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return found;
    for (const ifaddrs* i = all; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) == nullptr) continue;
        found = text;
        break;
    }
    freeifaddrs(all);
    return found;
}

// A started server on `port` (0: any free one), or null with the log's last
// line in `failure`.
std::unique_ptr<Server> startServer(const std::string& folder, std::uint16_t port,
                                    std::string& failure) {
    // Written by the ticking thread too once started, but read only after a
    // start that failed, when there is no such thread.
    auto lastLine = std::make_shared<std::string>();
    ServerOptions options;
    options.port = port;
    options.worldFolder = folder;
    options.log = [lastLine](const std::string& line) {
        std::fprintf(stderr, "Tessaria server: %s\n", line.c_str());
        *lastLine = line;
    };
    auto server = std::make_unique<Server>(options);
    if (server->start()) return server;
    failure = *lastLine;
    return nullptr;
}

}  // namespace

void findChosenWorld() {
    const std::vector<WorldEntry> worlds = listWorlds(worldsFolder());
    client.chosenFolder = playedWorld();
    if (client.chosenFolder.empty() && !worlds.empty()) client.chosenFolder = worlds.front().folder;
    client.chosenName = client.chosenFolder;
    for (const WorldEntry& entry : worlds)
        if (entry.folder == client.chosenFolder && !entry.meta.name.empty())
            client.chosenName = entry.meta.name;
}

bool stopHosting(bool reopen) {
    Hosting& host = client.host;
    if (!host.server) return true;
    host.server->requestStop();
    if (host.thread.joinable()) host.thread.join();
    host.server.reset();
    const bool saved = host.saved;
    client.gameNote = ChatNote{};
    if (reopen && playWorld(host.folder) != PlayOutcome::Opened)
        say("The hosted world could not be opened again.");
    findChosenWorld();
    return saved;
}

void hostWorld() {
    if (!isValidPlayerName(settings.joinName)) {
        say(kNameRule);
        client.focus = Field::Name;
        return;
    }
    findChosenWorld();
    const std::string folder = client.chosenFolder;
    if (folder.empty()) {
        say("No world yet: make one in single player first.");
        return;
    }
    // Saved first: a world that cannot be written stays open here, unhosted.
    if (playedWorld() == folder && !saveWorld()) {
        say("The world could not be saved, so it is not hosted.");
        return;
    }
    closeWorld();  // its lock goes with it, for the server to take
    const std::string path = worldsFolder() + "/" + folder;
    std::string failure;
    auto server = startServer(path, static_cast<std::uint16_t>(settings.hostPort), failure);
    if (!server && failure.compare(0, 21, "cannot listen on port") == 0)
        server = startServer(path, 0, failure);
    if (!server) {
        playWorld(folder);
        // The log's line names the folder; the panel has room for the reason.
        const std::size_t reason = failure.rfind(": ");
        say("Cannot host: " + (reason == std::string::npos ? failure : failure.substr(reason + 2)));
        return;
    }
    Hosting& host = client.host;
    host.folder = folder;
    host.saved = true;
    host.address = networkAddress() + ":" + std::to_string(server->port());
    host.server = std::move(server);
    host.thread = std::thread([&host] { host.saved = host.server->run(); });
    // The host joins its own world as anyone must: with the world's password.
    std::string problem;
    const std::string password = readServerConfig(path, problem).password;
    startSession("127.0.0.1:" + std::to_string(host.server->port()), settings.joinName, password,
                 false, true, "hosted:" + folder);
    say("Hosting at " + host.address);
    client.gameNote = ChatNote{"Hosting at " + host.address, Session::kChatTicks};
    std::fprintf(stderr, "Tessaria: %s\n", client.status.c_str());
}
