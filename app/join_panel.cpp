// The title menu's join panel: the address, name and password typed, Join
// and "Host this world", and the panel's message.
#include "app/multiplayer.h"

#include <allegro5/allegro_font.h>

#include "app/client_side.h"
#include "app/pointer.h"
#include "app/widgets.h"
#include "game/paths.h"
#include "game/settings.h"
#include "render/assets.h"
#include "render/text.h"
#include "render/tint.h"

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
constexpr std::size_t kAddressLongest = 261;  // a host name's 255, ':' and a port

// The password typed belongs to the address: another address brings its own
// kept one (or none), so no server is ever sent another's password.
void loadPassword() { client.password = keptPassword(client.secrets, client.address); }

// Each time the panel opens it starts from the last address joined, with
// the keys in the address, or in the name while it is empty: a field left
// from the last visit would take an address typed without looking.
void loadFields() {
    client.address = settings.joinServer.empty() ? "127.0.0.1:7777" : settings.joinServer;
    if (!client.focusNamed) client.focus = settings.joinName.empty() ? Field::Name : Field::Address;
    client.focusNamed = false;
    client.secrets = readJoinSecrets(joinSecretsFile());
    loadPassword();
    if (!client.host.server) findChosenWorld();
    if (client.statusUntil > 0 && al_get_time() > client.statusUntil) say("");
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

void joinFromPanel() { startSession(client.address, settings.joinName, client.password, true); }

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

}  // namespace

bool panelShown() {
    return gameScreen.screen == Screen::Menu && gameScreen.menuSelection == MenuMultiplayer &&
           !client.session;
}

void typeInto(std::string& text, int unichar, std::size_t longest, Typing kind) {
    if (unichar < 32 || unichar > 126 || text.size() >= longest) return;
    const char c = static_cast<char>(unichar);
    if (kind == Typing::Name && !isValidPlayerName(std::string(1, c))) return;
    if (kind == Typing::Address && c == ' ') return;
    text += c;
}

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

void updateJoinPanel() {
    const bool clicked = pointer.buttonDown == 1 && !client.wasPointerDown;
    client.wasPointerDown = pointer.buttonDown == 1;
    const bool shown =
        gameScreen.screen == Screen::Menu && gameScreen.menuSelection == MenuMultiplayer;
    if (shown && clicked && client.session && pointerOverButton(kButtonX, kJoinY)) {
        leaveForSinglePlayer();
        return;
    }
    // While hosting the button is not shown: "Hosting: ..." stands in its place.
    if (shown && clicked && client.session && !client.host.server &&
        pointerOverButton(kButtonX, kHostY)) {
        say("Leave this server first to host a world.");
        return;
    }
    if (shown && !client.panelWasShown && !client.session) loadFields();
    // A refusal seen with the panel up has put the keys in its field already.
    if (shown) client.focusNamed = false;
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
    if (!hosting) drawMenuButton(kButtonX, kHostY, "Host this world");
    if (!client.chosenName.empty()) {
        const std::string hosts = (hosting ? "Hosting: " : "Hosts: ") + client.chosenName;
        drawText(textEndThatFits(hosts, kPanelWidth).c_str(), kPanelX, hosting ? kHostY : kHostsY);
    }
    int y = kMessageY;
    for (const std::string& line : message) {
        drawText(line.c_str(), kPanelX, y);
        y += kMessageSpacing;
    }
    const std::string version = "Version: " + std::to_string(protocolVersion());
    drawText(version.c_str(), kVersionX, kVersionY);
}
