// The client's side in the app. The session itself (client/) knows nothing
// of Allegro; this file joins it to the menu, the keyboard and the picture.
#include "app/multiplayer.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "app/game_screen.h"
#include "app/platform.h"
#include "app/pointer.h"
#include "app/screens.h"
#include "client/session.h"
#include "game/paths.h"
#include "game/played_world.h"
#include "game/settings.h"
#include "game/world_catalog.h"
#include "game/world_save.h"
#include "render/assets.h"
#include "render/other_figures.h"
#include "render/text.h"
#include "render/tint.h"
#include "rules/world_tick.h"
#include "server/server.h"

namespace {

constexpr int kPanelX = 440;
constexpr int kAddressY = 210;
constexpr int kNameY = 250;
constexpr int kJoinY = 290;
constexpr int kHostY = 330;
constexpr int kHostsY = 356;  // under the button: which world it hosts
constexpr int kFieldOffsetY = 16;
constexpr int kFieldWidth = 190;
constexpr int kFieldHeight = 14;
constexpr int kStatusY = 430;
constexpr int kVersionY = 460;
constexpr int kChatX = 8;
constexpr int kChatTop = 8;
constexpr int kChatSpacing = 13;
constexpr int kChatLineY = 396;
constexpr std::size_t kAddressLongest = 261;  // a host name's 255, ':' and a port

// The single player's records, kept while a server's world is shown.
struct KeptGame {
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    PlayerState player;
    Camera camera;
    WeatherState weather;
    WorldClock clock;
    Screen screen = Screen::Menu;
};

enum class Field { Address, Name };

// A world hosted from the panel: the same server as tessaria-server's, on a
// thread of its own, with the world's folder its own until it stops.
struct Hosting {
    std::unique_ptr<Server> server;
    std::thread thread;
    bool saved = true;    // the server's last save, once its thread has ended
    std::string folder;   // under worldsFolder()
    std::string address;  // what others on the network join
    ~Hosting() {
        if (!thread.joinable()) return;
        server->requestStop();
        thread.join();
    }
};

struct ClientSide {
    std::unique_ptr<Session> session;
    std::unique_ptr<KeptGame> kept;
    std::string address, status;
    Field focus = Field::Address;
    bool panelWasShown = false;
    bool chatOpen = false;
    std::string chatText;
    bool escapeTaken = false;  // an Escape that closed a field, until it is let go
    bool wasPointerDown = false;
    bool everPlayed = false;
    Hosting host;
    // The world "Host this world" hosts, found when the panel opens.
    std::string chosenFolder, chosenName;
    ChatNote hostNote;  // the address, over the joined game for the chat's time
};
ClientSide client;

const char* const kNameRule = "A name is 1 to 16 letters, digits, _ or -.";

void keepSinglePlayer() {
    client.kept = std::make_unique<KeptGame>();
    KeptGame& k = *client.kept;
    *k.grid = world;
    k.player = player;
    k.camera = camera;
    k.weather = weather;
    k.clock = worldClock;
}

void restoreSinglePlayer() {
    if (!client.kept) return;
    KeptGame& k = *client.kept;
    const std::uint32_t revision = world.revision;
    world = *k.grid;
    world.revision = revision + 1;  // whatever was drawn from the server's cells is stale
    player = k.player;
    camera = k.camera;
    weather = k.weather;
    worldClock = k.clock;
    client.kept.reset();
}

// The world chosen: the one open now, else the one played last.
void findChosenWorld() {
    const std::vector<WorldEntry> worlds = listWorlds(worldsFolder());
    client.chosenFolder = playedWorld();
    if (client.chosenFolder.empty() && !worlds.empty()) client.chosenFolder = worlds.front().folder;
    client.chosenName = client.chosenFolder;
    for (const WorldEntry& entry : worlds)
        if (entry.folder == client.chosenFolder && !entry.meta.name.empty())
            client.chosenName = entry.meta.name;
}

// Each time the panel opens it starts from the last address joined.
void loadFields() {
    client.address = settings.joinServer.empty() ? "127.0.0.1:7777" : settings.joinServer;
    if (!client.host.server) findChosenWorld();
}

// `hosted`: the game's own server, whose address is not one to remember and
// whose world is read back from its folder afterwards rather than kept here.
void startSession(const std::string& address, const std::string& name, bool hosted = false) {
    std::string host;
    std::uint16_t port = 0;
    if (!parseServerAddress(address, host, port)) {
        client.status = "The address is a host and a port, as in 192.168.1.5:7000.";
        return;
    }
    if (!isValidPlayerName(name)) {
        client.status = kNameRule;
        return;
    }
    if (!hosted) settings.joinServer = address;
    settings.joinName = name;
    saveSettings();
    if (!hosted) keepSinglePlayer();
    client.session = std::make_unique<Session>(host, port, name);
    client.status = "Joining " + address + " ...";
    client.chatOpen = false;
    client.everPlayed = false;
    otherFigures().clear();
}

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

// Stops the hosted server, whose stop saves the world and the players'
// records, and lets its world folder go; with `reopen`, the world opens again
// for single player as the server left it on disk. False when the server
// could not save.
bool stopHosting(bool reopen) {
    Hosting& host = client.host;
    if (!host.server) return true;
    host.server->requestStop();
    if (host.thread.joinable()) host.thread.join();
    host.server.reset();
    const bool saved = host.saved;
    client.hostNote = ChatNote{};
    if (reopen && playWorld(host.folder) != PlayOutcome::Opened)
        client.status = "The hosted world could not be opened again.";
    findChosenWorld();
    return saved;
}

void hostWorld() {
    if (!isValidPlayerName(settings.joinName)) {
        client.status = kNameRule;
        return;
    }
    findChosenWorld();
    const std::string folder = client.chosenFolder;
    if (folder.empty()) {
        client.status = "No world yet: make one in single player first.";
        return;
    }
    // Saved first: a world that cannot be written stays open here, unhosted.
    if (playedWorld() == folder && !saveWorld()) {
        client.status = "The world could not be saved, so it is not hosted.";
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
        client.status =
            "Cannot host: " + (reason == std::string::npos ? failure : failure.substr(reason + 2));
        return;
    }
    Hosting& host = client.host;
    host.folder = folder;
    host.saved = true;
    host.address = networkAddress() + ":" + std::to_string(server->port());
    host.server = std::move(server);
    host.thread = std::thread([&host] { host.saved = host.server->run(); });
    startSession("127.0.0.1:" + std::to_string(host.server->port()), settings.joinName, true);
    client.status = "Hosting at " + host.address;
    client.hostNote = ChatNote{"Hosting at " + host.address, Session::kChatTicks};
    std::fprintf(stderr, "Tessaria: %s\n", client.status.c_str());
}

// Back to the menu with the one line that says why.
void endSession() {
    const std::string why = client.session->endText();
    const bool played = client.everPlayed;
    client.session.reset();
    otherFigures().clear();
    if (client.host.server) stopHosting(true);
    else restoreSinglePlayer();
    client.chatOpen = false;
    client.status = (played ? "Disconnected: " : "Could not join: ") + why;
    std::fprintf(stderr, "Tessaria: %s\n", client.status.c_str());
    gameScreen.screen = Screen::Menu;
    gameScreen.menuSelection = MenuMultiplayer;
}

bool pointerIn(int x, int y, int w, int h) {
    return x <= pointer.x && pointer.x < x + w && y <= pointer.y && pointer.y < y + h;
}

std::string& focusedText() {
    return client.focus == Field::Address ? client.address : settings.joinName;
}

bool panelShown() {
    return gameScreen.screen == Screen::Menu && gameScreen.menuSelection == MenuMultiplayer &&
           !client.session;
}

enum class Typing { Address, Name, Chat };

// Printable ASCII only: what the wire's texts allow.
void typeInto(std::string& text, int unichar, std::size_t longest, Typing kind) {
    if (unichar < 32 || unichar > 126 || text.size() >= longest) return;
    const char c = static_cast<char>(unichar);
    if (kind == Typing::Name && !isValidPlayerName(std::string(1, c))) return;
    if (kind == Typing::Address && c == ' ') return;
    text += c;
}

void panelKey(const ALLEGRO_KEYBOARD_EVENT& key) {
    switch (key.keycode) {
        case ALLEGRO_KEY_BACKSPACE:
            if (!focusedText().empty()) focusedText().pop_back();
            return;
        case ALLEGRO_KEY_TAB:
            client.focus = client.focus == Field::Address ? Field::Name : Field::Address;
            return;
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            startSession(client.address, settings.joinName);
            return;
        case ALLEGRO_KEY_ESCAPE:
            gameScreen.menuSelection = MenuNone;
            client.escapeTaken = true;
            return;
        default:
            break;
    }
    if (client.focus == Field::Address)
        typeInto(client.address, key.unichar, kAddressLongest, Typing::Address);
    else typeInto(settings.joinName, key.unichar, kPlayerNameLongest, Typing::Name);
}

void chatKey(const ALLEGRO_KEYBOARD_EVENT& key) {
    switch (key.keycode) {
        case ALLEGRO_KEY_BACKSPACE:
            if (!client.chatText.empty()) client.chatText.pop_back();
            return;
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            client.session->say(client.chatText);
            client.chatOpen = false;
            return;
        case ALLEGRO_KEY_ESCAPE:
            client.chatOpen = false;
            client.escapeTaken = true;
            return;
        default:
            typeInto(client.chatText, key.unichar, kChatLineLongest, Typing::Chat);
            return;
    }
}

bool playing() { return client.session && client.session->phase() == SessionPhase::Playing; }

void drawField(const char* label, const std::string& text, int y, bool focused) {
    drawText(label, kPanelX, y);
    std::string shown = text;
    // The end of a long address, where the typing is.
    if (shown.size() > 30) shown = "..." + shown.substr(shown.size() - 27);
    if (focused) {
        shown += "_";
        setTint(kYellow);
    }
    drawText(shown.c_str(), kPanelX, y + kFieldOffsetY);
    resetTint();
}

}  // namespace

bool parseArguments(int argc, char** argv, JoinRequest& request, bool& wanted, std::string& world,
                    std::string& error) {
    wanted = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--connect") == 0 && hasValue) {
            request.address = argv[++i];
            wanted = true;
        } else if (std::strcmp(argv[i], "--name") == 0 && hasValue) {
            request.name = argv[++i];
        } else if (std::strcmp(argv[i], "--world") == 0 && hasValue) {
            world = argv[++i];
        } else if (std::strncmp(argv[i], "--world=", 8) == 0) {
            world = argv[i] + 8;
        } else {
            error = std::string("unknown argument: ") + argv[i] +
                    " (use --world NAME, or --connect HOST:PORT --name NAME)";
            return false;
        }
    }
    if (wanted && !world.empty()) {
        error = "--world and --connect cannot go together";
        return false;
    }
    std::string host;
    std::uint16_t port = 0;
    if (wanted && !parseServerAddress(request.address, host, port)) {
        error = "--connect takes HOST:PORT, not " + request.address;
        return false;
    }
    if (wanted && !isValidPlayerName(request.name)) {
        error = "--name takes 1 to 16 letters, digits, _ or -";
        return false;
    }
    if (!wanted && !request.name.empty()) {
        error = "--name goes with --connect HOST:PORT";
        return false;
    }
    return true;
}

void joinFromCommandLine(const JoinRequest& request) {
    client.address = request.address;
    gameScreen.introRunning = false;
    gameScreen.introStage = 0;
    gameScreen.screen = Screen::Game;
    startSession(request.address, request.name);
}

bool isJoined() { return client.session != nullptr; }

bool keysTakenByText() {
    if (client.escapeTaken && !keyboardKeyDown()(KeyEscape)) client.escapeTaken = false;
    return client.escapeTaken || client.chatOpen || panelShown();
}

void handleKeyEvent(const ALLEGRO_EVENT& event) {
    if (event.type != ALLEGRO_EVENT_KEY_CHAR) return;
    const ALLEGRO_KEYBOARD_EVENT& key = event.keyboard;
    if (client.chatOpen) {
        chatKey(key);
    } else if (panelShown()) {
        panelKey(key);
    } else if (playing() && gameScreen.screen == Screen::Game && (key.keycode == ALLEGRO_KEY_T) &&
               !key.repeat) {
        client.chatOpen = true;
        client.chatText.clear();
    }
}

void tickJoined(const PlayerIntent& intent, PauseFn pause) {
    Session& session = *client.session;
    const World shared = localWorld();
    session.pump(shared, player, camera);
    const int switches = session.play(intent, shared, player, camera);
    if (pause != nullptr)
        for (int n = 0; n < switches; ++n) pause(kTogglePauseMs);
    if (session.phase() == SessionPhase::Playing) {
        // Between the server's clocks the day goes on here, as it does there.
        advanceClocks(shared);
        if (!client.everPlayed) {
            client.everPlayed = true;
            followPlayerLevel(camera, player);
            if (gameScreen.screen == Screen::Menu) gameScreen.menuSelection = MenuNone;
            gameScreen.screen = Screen::Game;
        }
    }
    if (client.hostNote.ticksLeft > 0 && client.everPlayed) --client.hostNote.ticksLeft;
    for (const std::string& line : session.takeFreshNotes())
        std::fprintf(stderr, "Tessaria: %s\n", line.c_str());
    std::vector<OtherFigure>& figures = otherFigures();
    figures.clear();
    for (const RemotePlayer& r : session.others())
        figures.push_back(OtherFigure{r.figure, r.fromX, r.fromY, r.fromLevel, r.quarters, r.name});
    if (session.phase() == SessionPhase::Ended) endSession();
}

bool worldIsOwn() { return !client.kept && !client.host.server; }

bool leaveServer() {
    if (client.session) {
        client.session->leave();
        client.session.reset();
        otherFigures().clear();
    }
    restoreSinglePlayer();
    return stopHosting(false);
}

void leaveForSinglePlayer() {
    if (!client.session) return;
    const bool hosted = client.host.server != nullptr;
    client.session->leave();
    client.session.reset();
    otherFigures().clear();
    restoreSinglePlayer();
    client.status = hosted ? "Hosting ended: " + client.chosenName + " is played here again."
                           : "Left the server.";
    if (hosted && !stopHosting(true))
        client.status = "Hosting ended; the world could not be saved.";
}

void updateJoinPanel() {
    const bool clicked = pointer.buttonDown == 1 && !client.wasPointerDown;
    client.wasPointerDown = pointer.buttonDown == 1;
    const bool shown =
        gameScreen.screen == Screen::Menu && gameScreen.menuSelection == MenuMultiplayer;
    if (shown && clicked && client.session && pointerOverButton(kPanelX, kJoinY)) {
        leaveForSinglePlayer();
        return;
    }
    if (shown && !client.panelWasShown && !client.session) loadFields();
    client.panelWasShown = shown;
    if (!panelShown() || !clicked) return;
    if (pointerIn(kPanelX, kAddressY, kFieldWidth, kFieldOffsetY + kFieldHeight))
        client.focus = Field::Address;
    if (pointerIn(kPanelX, kNameY, kFieldWidth, kFieldOffsetY + kFieldHeight))
        client.focus = Field::Name;
    if (pointerOverButton(kPanelX, kJoinY)) startSession(client.address, settings.joinName);
    if (pointerOverButton(kPanelX, kHostY)) hostWorld();
}

void drawJoinPanel() {
    drawField("Server address (host:port)", client.address, kAddressY,
              client.focus == Field::Address);
    drawField("Your name", settings.joinName, kNameY, client.focus == Field::Name);
    drawMenuButton(kPanelX, kJoinY, client.session ? "   Leave" : "    Join");
    drawMenuButton(kPanelX, kHostY, "Host this world");
    const bool hosting = client.host.server != nullptr;
    if (!client.chosenName.empty()) {
        const std::string hosts = (hosting ? "Hosting: " : "Hosts: ") + client.chosenName;
        drawText(hosts.c_str(), kPanelX, kHostsY);
    }
    if (playing())
        client.status =
            hosting ? "Hosting at " + client.host.address + " as " + client.session->name() + "."
                    : "In " + client.address + " as " + client.session->name() + ".";
    if (!client.status.empty()) drawText(client.status.c_str(), 220, kStatusY);
    const std::string version = "Version: " + std::to_string(protocolVersion());
    drawText(version.c_str(), 220, kVersionY);
}

bool joinedWorldReady() { return client.session && client.everPlayed; }

void drawJoiningScreen() {
    al_clear_to_color(al_map_rgb(0, 0, 0));
    drawText(client.status.c_str(), 220, 230);
}

void drawChat() {
    if (!client.session) return;
    int y = kChatTop;
    if (client.hostNote.ticksLeft > 0) {
        drawText(client.hostNote.text.c_str(), kChatX, y);
        y += kChatSpacing;
    }
    for (const ChatNote& line : client.session->chat()) {
        drawText(line.text.c_str(), kChatX, y);
        y += kChatSpacing;
    }
    if (client.chatOpen) {
        const std::string line = "Say: " + client.chatText + "_";
        setTint(kYellow);
        drawText(line.c_str(), kChatX, kChatLineY);
        resetTint();
    }
}
