// The joined game: a session started and ended, the single player's world
// kept aside meanwhile, its tick, the keys that type, and the chat over it.
#include "app/multiplayer.h"

#include <allegro5/allegro_font.h>

#include <cstdio>
#include <cstring>

#include "app/client_side.h"
#include "app/platform.h"
#include "game/key_bindings.h"
#include "game/paths.h"
#include "game/settings.h"
#include "render/map_view.h"
#include "render/other_figures.h"
#include "render/text.h"
#include "render/tint.h"

namespace {

constexpr int kChatX = 8;
constexpr int kChatTop = 8;
constexpr int kChatSpacing = 13;
constexpr int kChatLinesShown = 12;  // the newest; a burst of chat must not cover the world

// Above the status line's two lines (what was switched, and the position).
constexpr int kChatLineY = 366;
constexpr int kChatWidth = 640 - 2 * kChatX;
constexpr double kNoticeSeconds = 6;  // "Left the server." and the like, then gone

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
    const bool wrongPassword = startsWith("wrong password");
    const bool nameRefused =
        startsWith("that name belongs to another player") || startsWith("name taken");
    if (wrongPassword) client.focus = Field::Password;
    if (nameRefused) client.focus = Field::Name;
    client.focusNamed = wrongPassword || nameRefused;
    std::fprintf(stderr, "Tessaria: %s\n", client.status.c_str());
    escapeToMenu();
    gameScreen.menuSelection = MenuMultiplayer;
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

const std::vector<std::string>& wrappedNote(const std::string& text) {
    for (const WrappedNote& known : client.wrapped)
        if (known.text == text) return known.lines;
    // Kept for the lines the chat still shows, and a few it showed before.
    if (client.wrapped.size() > 4u * kChatLinesShown) client.wrapped.clear();
    client.wrapped.push_back(WrappedNote{text, wrapText(text, kChatWidth)});
    return client.wrapped.back().lines;
}

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

ClientSide client;

void say(const std::string& text, bool passing) {
    client.status = text;
    client.statusUntil = passing ? al_get_time() + kNoticeSeconds : 0;
}

void startSession(const std::string& address, const std::string& name, const std::string& password,
                  bool keepTyped, bool hosted, const std::string& place) {
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

bool playing() { return client.session && client.session->phase() == SessionPhase::Playing; }

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
    } else if (playing() && gameScreen.screen == Screen::Game &&
               key.keycode == boundKey(Action::Chat) && !key.repeat) {
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

bool joinedWorldReady() { return client.session && client.everPlayed; }

void drawJoiningScreen() {
    al_clear_to_color(al_map_rgb(0, 0, 0));
    drawText(client.status.c_str(), 220, 230);
}

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
