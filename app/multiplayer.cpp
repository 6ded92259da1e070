// The client's side in the app. The session itself (client/) knows nothing
// of Allegro; this file joins it to the menu, the keyboard and the picture.
#include "app/multiplayer.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <allegro5/allegro_font.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/game_screen.h"
#include "app/platform.h"
#include "app/pointer.h"
#include "app/screens.h"
#include "client/session.h"
#include "game/atomic_file.h"
#include "game/join_secrets.h"
#include "game/marks.h"
#include "game/paths.h"
#include "game/played_world.h"
#include "game/settings.h"
#include "game/world_catalog.h"
#include "game/world_save.h"
#include "render/assets.h"
#include "render/map_view.h"
#include "render/other_figures.h"
#include "render/text.h"
#include "render/tint.h"
#include "rules/world_tick.h"
#include "server/server.h"
#include "server/server_config.h"

namespace {

// The panel stands right of the menu's buttons on the backdrop's dark panel,
// whole inside the picture: a label over each field's box, the two buttons,
// the world hosted, and under them the panel's message, where the dark panel
// is drawn on as far as the message reaches.
constexpr int kBackdropPanelX = 432, kBackdropPanelWidth = 202;
constexpr int kBackdropPanelFoot = 368;
constexpr Tint kBackdropPanelTint{0x14 / 255.0f, 0x10 / 255.0f, 0x22 / 255.0f, 0.6f};
constexpr int kButtonX = 433;     // the buttons' picture is 200 wide
constexpr int kPanelX = 437;      // text and boxes
constexpr int kPanelWidth = 192;  // the boxes and the message
constexpr int kPanelTop = 204;
constexpr int kRowPitch = 36;    // label, box and gap
constexpr int kBoxOffsetY = 13;  // the box under its label
constexpr int kBoxHeight = 16;
constexpr int kBoxTextInset = 3;
constexpr int kJoinY = kPanelTop + 3 * kRowPitch;
constexpr int kHostY = kJoinY + 26;
constexpr int kHostsY = kHostY + 24;  // under the button: which world it hosts
constexpr int kMessageY = kHostsY + 17;
constexpr int kMessageSpacing = 13;
constexpr int kMessageLines = 4;
constexpr int kVersionX = 220, kVersionY = 460;
constexpr int kChatX = 8;
constexpr int kChatTop = 8;
constexpr int kChatSpacing = 13;
constexpr int kChatLinesShown = 12;  // the newest; a burst of chat must not cover the world
constexpr int kChatLineY = 396;
constexpr int kChatWidth = 640 - 2 * kChatX;
constexpr std::size_t kAddressLongest = 261;  // a host name's 255, ':' and a port
constexpr std::size_t kPasswordLongest = 32;  // the most the wire carries
constexpr double kNoticeSeconds = 6;          // "Left the server." and the like, then gone

// The single player's records, kept while a server's world is shown.
struct KeptGame {
    std::unique_ptr<WorldGrid> grid = std::make_unique<WorldGrid>();
    PlayerState player;
    Camera camera;
    WeatherState weather;
    WorldClock clock;
    Screen screen = Screen::Menu;
};

enum class Field { Address, Name, Password };

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

// A long chat line in the picture's lines, wrapped once.
struct WrappedNote {
    std::string text;
    std::vector<std::string> lines;
};

struct ClientSide {
    std::unique_ptr<Session> session;
    std::unique_ptr<KeptGame> kept;
    std::string address, status;
    double statusUntil = 0;  // al_get_time() when a passing notice goes; 0: it stays
    std::string password;    // the panel's, for `address`
    JoinSecrets secrets;     // as in the file when the panel opened or a join began
    // Under which the session's password and key are kept: the address
    // joined, or the hosted world's own place; and whether the password
    // typed is kept once the server takes it (not one from a file).
    std::string place;
    bool keepPassword = false;
    bool keyKept = false;
    Field focus = Field::Address;
    bool panelWasShown = false;
    bool chatOpen = false;
    std::string chatText;
    bool escapeTaken = false;  // an Escape that closed a field, until it is let go
    bool wasPointerDown = false;
    bool everPlayed = false;
    std::optional<MarksInPlay> marksBefore;  // the single player's, back when the session ends
    Hosting host;
    // The world "Host this world" hosts, found when the panel opens.
    std::string chosenFolder, chosenName;
    // The game's own line over the joined game for the chat's time: the
    // host's address, or a name's key that could not be kept.
    ChatNote gameNote;
    std::vector<WrappedNote> wrapped;
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
    if (client.marksBefore) marksInPlay = *client.marksBefore;
    client.marksBefore.reset();
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

// A message that stays until the next, or a notice that goes by itself.
void say(const std::string& text, bool passing = false) {
    client.status = text;
    client.statusUntil = passing ? al_get_time() + kNoticeSeconds : 0;
}

// The password typed belongs to the address: another address brings its own
// kept one (or none), so no server is ever sent another's password.
void loadPassword() { client.password = keptPassword(client.secrets, client.address); }

// Each time the panel opens it starts from the last address joined.
void loadFields() {
    client.address = settings.joinServer.empty() ? "127.0.0.1:7777" : settings.joinServer;
    client.secrets = readJoinSecrets(joinSecretsFile());
    loadPassword();
    if (!client.host.server) findChosenWorld();
    if (client.statusUntil > 0 && al_get_time() > client.statusUntil) say("");
}

// 0, or the error (said on standard error) that kept the file from being written.
int keepSecrets() {
    const std::string file = joinSecretsFile();
    const int error = writeJoinSecrets(file, client.secrets);
    if (error != 0)
        std::fprintf(stderr, "Tessaria: cannot keep the join secrets in %s: %s\n", file.c_str(),
                     std::strerror(error));
    return error;
}

// Once the server has taken the login: the password typed is kept for the
// address, and a key handed out for the name is kept for the next join (the
// file read again first: another copy of the game may have kept something).
void keepWhatTheServerTook() {
    const std::string& key = client.session->grantedKey();
    const bool newKey = !client.keyKept && !key.empty();
    const bool passwordTaken =
        client.keepPassword && client.session->phase() == SessionPhase::Playing;
    if (!newKey && !passwordTaken) return;
    client.secrets = readJoinSecrets(joinSecretsFile());
    if (newKey) keepKey(client.secrets, client.place, client.session->name(), key);
    if (passwordTaken) keepPassword(client.secrets, client.place, client.password);
    client.keyKept = client.keyKept || newKey;
    client.keepPassword = false;
    // Without its key the name is refused here next time: the player must know.
    const int error = keepSecrets();
    if (error != 0 && newKey)
        client.gameNote =
            ChatNote{std::string("Your name's key could not be kept (") + std::strerror(error) +
                         "): the name may be refused here next time.",
                     Session::kChatTicks};
}

// `hosted`: the game's own server, whose address is not one to remember and
// whose world is read back from its folder afterwards rather than kept here;
// its secrets are kept under `place`, the world's own.
void startSession(const std::string& address, const std::string& name, const std::string& password,
                  bool keepTyped, bool hosted = false, const std::string& place = "") {
    std::string host;
    std::uint16_t port = 0;
    if (!parseServerAddress(address, host, port)) {
        say("The address is a host and a port, as in 192.168.1.5:7000.");
        client.focus = Field::Address;
        return;
    }
    if (!isValidPlayerName(name)) {
        say(kNameRule);
        client.focus = Field::Name;
        return;
    }
    if (!hosted) settings.joinServer = address;
    settings.joinName = name;
    saveSettings();
    if (!hosted) keepSinglePlayer();
    client.place = place.empty() ? address : place;
    client.keepPassword = keepTyped;
    client.keyKept = false;
    client.secrets = readJoinSecrets(joinSecretsFile());
    const std::string key = keptKey(client.secrets, client.place, name);
    client.session = std::make_unique<Session>(host, port, name, password, key);
    say("Joining " + address + " ...");
    client.chatOpen = false;
    client.everPlayed = false;
    client.marksBefore = marksInPlay;
    closeMarks();
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

// Back to the menu with the one line that says why, and the field to mend
// when a refusal names one.
void endSession() {
    const std::string why = client.session->endText();
    const bool played = client.everPlayed;
    client.session.reset();
    otherFigures().clear();
    bool saved = true;
    restoreSinglePlayer();
    if (client.host.server) saved = stopHosting(true);
    client.chatOpen = false;
    say((played ? "Disconnected: " : "Could not join: ") + why +
        (saved ? "" : "; the hosted world could not be saved."));
    const auto startsWith = [&why](const char* reason) { return why.rfind(reason, 0) == 0; };
    if (startsWith("wrong password")) client.focus = Field::Password;
    if (startsWith("that name belongs to another player") || startsWith("name taken"))
        client.focus = Field::Name;
    std::fprintf(stderr, "Tessaria: %s\n", client.status.c_str());
    gameScreen.screen = Screen::Menu;
    gameScreen.menuSelection = MenuMultiplayer;
}

bool pointerIn(int x, int y, int w, int h) {
    return x <= pointer.x && pointer.x < x + w && y <= pointer.y && pointer.y < y + h;
}

std::string& focusedText() {
    switch (client.focus) {
        case Field::Address:
            return client.address;
        case Field::Name:
            return settings.joinName;
        case Field::Password:
            break;
    }
    return client.password;
}

Field nextField(Field field) {
    switch (field) {
        case Field::Address:
            return Field::Name;
        case Field::Name:
            return Field::Password;
        case Field::Password:
            break;
    }
    return Field::Address;
}

bool panelShown() {
    return gameScreen.screen == Screen::Menu && gameScreen.menuSelection == MenuMultiplayer &&
           !client.session;
}

enum class Typing { Address, Name, Password, Chat };

// Printable ASCII only: what the wire's texts allow.
void typeInto(std::string& text, int unichar, std::size_t longest, Typing kind) {
    if (unichar < 32 || unichar > 126 || text.size() >= longest) return;
    const char c = static_cast<char>(unichar);
    if (kind == Typing::Name && !isValidPlayerName(std::string(1, c))) return;
    if (kind == Typing::Address && c == ' ') return;
    text += c;
}

void joinFromPanel() { startSession(client.address, settings.joinName, client.password, true); }

void panelKey(const ALLEGRO_KEYBOARD_EVENT& key) {
    const std::string addressBefore = client.address;
    switch (key.keycode) {
        case ALLEGRO_KEY_BACKSPACE:
            if (!focusedText().empty()) focusedText().pop_back();
            break;
        case ALLEGRO_KEY_TAB:
            client.focus = nextField(client.focus);
            return;
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            joinFromPanel();
            return;
        case ALLEGRO_KEY_ESCAPE:
            gameScreen.menuSelection = MenuNone;
            client.escapeTaken = true;
            return;
        default:
            break;
    }
    if (key.keycode != ALLEGRO_KEY_BACKSPACE) {
        if (client.focus == Field::Address)
            typeInto(client.address, key.unichar, kAddressLongest, Typing::Address);
        else if (client.focus == Field::Name)
            typeInto(settings.joinName, key.unichar, kPlayerNameLongest, Typing::Name);
        else typeInto(client.password, key.unichar, kPasswordLongest, Typing::Password);
    }
    if (client.address != addressBefore) loadPassword();
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

constexpr Tint kBoxEdge{0.6f, 0.6f, 0.6f, 1};

int fieldY(Field field) { return kPanelTop + static_cast<int>(field) * kRowPitch; }

// A password shows as one dot a character; the font may lack the dot.
std::string dots(std::size_t count) {
    const int kDot = 0x2022;
    const bool hasDot =
        assets.smallFont != nullptr && al_get_glyph_width(assets.smallFont, kDot) > 0;
    std::string shown;
    for (std::size_t i = 0; i < count; ++i) shown += hasDot ? "\u2022" : "*";
    return shown;
}

// The label, and under it the box typed into, lit while it has the keys.
void drawField(Field field, const char* label, const std::string& text) {
    const int y = fieldY(field), boxY = y + kBoxOffsetY;
    const bool focused = client.focus == field && panelShown();
    drawText(label, kPanelX, y);
    drawBacking(kPanelX, boxY, kPanelWidth, kBoxHeight);
    drawOutline(kPanelX, boxY, kPanelWidth, kBoxHeight, focused ? kYellow : kBoxEdge);
    std::string shown = field == Field::Password ? dots(text.size()) : text;
    if (focused) shown += "_";
    // The end of a long text, where the typing is.
    shown = textEndThatFits(shown, kPanelWidth - 2 * kBoxTextInset);
    if (focused) setTint(kYellow);
    drawText(shown.c_str(), kPanelX + kBoxTextInset, boxY + kBoxTextInset - 1);
    resetTint();
}

// The panel's message in as many lines as it takes, under the buttons.
std::vector<std::string> messageLines() {
    if (client.status.empty()) return {};
    if (client.statusUntil > 0 && al_get_time() > client.statusUntil) return {};
    std::vector<std::string> lines = wrapText(client.status, kPanelWidth);
    if (lines.size() > kMessageLines) lines.resize(kMessageLines);
    return lines;
}

const std::vector<std::string>& wrappedNote(const std::string& text) {
    for (const WrappedNote& known : client.wrapped)
        if (known.text == text) return known.lines;
    // Kept for the lines the chat still shows, and a few it showed before.
    if (client.wrapped.size() > 4u * kChatLinesShown) client.wrapped.clear();
    client.wrapped.push_back(WrappedNote{text, wrapText(text, kChatWidth)});
    return client.wrapped.back().lines;
}

}  // namespace

namespace {

// The first line of the file, as a server takes a password; false with the
// reason in `error`.
bool readPasswordFile(const std::string& path, std::string& password, std::string& error) {
    std::string text;
    if (int failed = readWholeFile(path, text)) {
        error = "cannot read the password file " + path + ": " + std::strerror(failed);
        return false;
    }
    password = text.substr(0, text.find('\n'));
    if (!password.empty() && password.back() == '\r') password.pop_back();
    for (char c : password)
        if (c < 32 || c > 126) {
            error = "the password in " + path + " holds a character other than printable ASCII";
            return false;
        }
    if (password.empty() || password.size() > kPasswordLongest) {
        error = "the password file " + path + " must start with a password of 1 to " +
                std::to_string(kPasswordLongest) + " characters";
        return false;
    }
    return true;
}

}  // namespace

bool parseArguments(int argc, char** argv, JoinRequest& request, bool& wanted, std::string& world,
                    std::string& error) {
    wanted = false;
    std::string passwordFile;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--connect") == 0 && hasValue) {
            request.address = argv[++i];
            wanted = true;
        } else if (std::strcmp(argv[i], "--name") == 0 && hasValue) {
            request.name = argv[++i];
        } else if (std::strcmp(argv[i], "--password-file") == 0 && hasValue) {
            passwordFile = argv[++i];
        } else if (std::strcmp(argv[i], "--world") == 0 && hasValue) {
            world = argv[++i];
        } else if (std::strncmp(argv[i], "--world=", 8) == 0) {
            world = argv[i] + 8;
        } else {
            error = std::string("unknown argument: ") + argv[i] +
                    " (use --world NAME, or --connect HOST:PORT --name NAME"
                    " [--password-file FILE])";
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
    if (!passwordFile.empty() && !wanted) {
        error = "--password-file goes with --connect HOST:PORT";
        return false;
    }
    request.passwordGiven = !passwordFile.empty();
    return !request.passwordGiven || readPasswordFile(passwordFile, request.password, error);
}

void joinFromCommandLine(const JoinRequest& request) {
    client.address = request.address;
    gameScreen.introRunning = false;
    gameScreen.introStage = 0;
    gameScreen.screen = Screen::Game;
    // Without a file, the password the panel kept for this server.
    const std::string password =
        request.passwordGiven ? request.password
                              : keptPassword(readJoinSecrets(joinSecretsFile()), request.address);
    startSession(request.address, request.name, password, false);
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
            // Kept by the place joined and the name played there.
            openMarks(serverMarksFile(client.place, settings.joinName), world, player.x, player.y);
            if (gameScreen.screen == Screen::Menu) gameScreen.menuSelection = MenuNone;
            gameScreen.screen = Screen::Game;
        }
    }
    if (client.gameNote.ticksLeft > 0 && client.everPlayed) --client.gameNote.ticksLeft;
    keepWhatTheServerTook();
    for (const std::string& line : session.takeFreshNotes())
        std::fprintf(stderr, "Tessaria: %s\n", line.c_str());
    std::vector<OtherFigure>& figures = otherFigures();
    figures.clear();
    for (const RemotePlayer& r : session.others())
        if (r.inSight)
            figures.push_back(
                OtherFigure{r.figure, r.fromX, r.fromY, r.fromLevel, r.quarters, r.name});
    if (session.phase() == SessionPhase::Ended) endSession();
}

const MapKnown* joinedMapKnown() {
    static MapKnown known;
    if (!client.session || client.session->phase() != SessionPhase::Playing) return nullptr;
    const Session* session = client.session.get();
    known.sent = [session](int x, int y) { return session->pieceHeld(x, y) != PieceHeld::Never; };
    known.others.clear();
    for (const RemotePlayer& r : session->others())
        known.others.push_back(MapOther{r.figure.x, r.figure.y, r.inSight});
    return &known;
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
    say(hosted ? "Hosting ended: " + client.chosenName + " is played here again."
               : "Left the server.",
        true);
    if (hosted && !stopHosting(true)) say("Hosting ended; the world could not be saved.");
}

void updateJoinPanel() {
    const bool clicked = pointer.buttonDown == 1 && !client.wasPointerDown;
    client.wasPointerDown = pointer.buttonDown == 1;
    const bool shown =
        gameScreen.screen == Screen::Menu && gameScreen.menuSelection == MenuMultiplayer;
    if (shown && clicked && client.session && pointerOverButton(kButtonX, kJoinY)) {
        leaveForSinglePlayer();
        return;
    }
    if (shown && clicked && client.session && pointerOverButton(kButtonX, kHostY)) {
        say(client.host.server ? "Already hosting " + client.chosenName + ": Leave ends it."
                               : "Leave this server first to host a world.");
        return;
    }
    if (shown && !client.panelWasShown && !client.session) loadFields();
    client.panelWasShown = shown;
    if (!panelShown() || !clicked) return;
    for (Field field : {Field::Address, Field::Name, Field::Password})
        if (pointerIn(kPanelX, fieldY(field), kPanelWidth, kBoxOffsetY + kBoxHeight))
            client.focus = field;
    if (pointerOverButton(kButtonX, kJoinY)) joinFromPanel();
    if (pointerOverButton(kButtonX, kHostY)) hostWorld();
}

void drawJoinPanel() {
    const bool hosting = client.host.server != nullptr;
    if (playing())
        say(hosting ? "Hosting at " + client.host.address + " as " + client.session->name() + "."
                    : "In " + client.address + " as " + client.session->name() + ".");
    const std::vector<std::string> message = messageLines();
    const int bottom = kMessageY + kMessageSpacing * static_cast<int>(message.size()) + 3;
    fillRectangle(kBackdropPanelX, kBackdropPanelFoot, kBackdropPanelWidth,
                  bottom - kBackdropPanelFoot, kBackdropPanelTint);
    drawField(Field::Address, "Address (host:port)", client.address);
    drawField(Field::Name, "Your name", settings.joinName);
    drawField(Field::Password, "Password, if asked", client.password);
    drawMenuButton(kButtonX, kJoinY, client.session ? "   Leave" : "    Join");
    drawMenuButton(kButtonX, kHostY, "Host this world");
    if (!client.chosenName.empty()) {
        const std::string hosts = (hosting ? "Hosting: " : "Hosts: ") + client.chosenName;
        drawText(textEndThatFits(hosts, kPanelWidth).c_str(), kPanelX, kHostsY);
    }
    int y = kMessageY;
    for (const std::string& line : message) {
        drawText(line.c_str(), kPanelX, y);
        y += kMessageSpacing;
    }
    const std::string version = "Version: " + std::to_string(protocolVersion());
    drawText(version.c_str(), kVersionX, kVersionY);
}

bool joinedWorldReady() { return client.session && client.everPlayed; }

void drawJoiningScreen() {
    al_clear_to_color(al_map_rgb(0, 0, 0));
    drawText(client.status.c_str(), 220, 230);
}

namespace {

// The picture of the first releases: every line as it is, straight on the world.
void drawClassicChat() {
    int y = kChatTop;
    if (client.gameNote.ticksLeft > 0) {
        drawText(client.gameNote.text.c_str(), kChatX, y);
        y += kChatSpacing;
    }
    for (const ChatNote& line : client.session->chat()) {
        if (!settings.showChat) break;
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

}  // namespace

void drawChat() {
    if (!client.session) return;
    if (settings.classic) return drawClassicChat();
    // Long lines wrapped inside the picture; the newest lines when there are
    // more than the top of the picture should give up.
    std::vector<std::string> lines;
    if (client.gameNote.ticksLeft > 0) lines = wrappedNote(client.gameNote.text);
    if (settings.showChat)
        for (const ChatNote& note : client.session->chat())
            for (const std::string& line : wrappedNote(note.text)) lines.push_back(line);
    const std::size_t first = lines.size() > kChatLinesShown ? lines.size() - kChatLinesShown : 0;
    int y = kChatTop;
    for (std::size_t i = first; i < lines.size(); ++i) {
        drawOverlayText(lines[i].c_str(), kChatX, y);
        y += kChatSpacing;
    }
    if (client.chatOpen) {
        // The end of a long line, where the cursor is, stays in view.
        const std::string line = textEndThatFits("Say: " + client.chatText + "_", kChatWidth);
        setTint(kYellow);
        drawOverlayText(line.c_str(), kChatX, kChatLineY);
        resetTint();
    }
}
