// The options screen. A key is refused when the game keeps it (Escape, the
// digits, F12) or another action has it; the player is told which.
#include "app/options_screen.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "app/pointer.h"
#include "app/sound.h"
#include "app/widgets.h"
#include "app/window.h"
#include "game/key_bindings.h"
#include "game/settings.h"
#include "render/text.h"
#include "render/tint.h"

namespace {

constexpr int kTitleX = 220, kTitleY = 176;
constexpr int kRowX = 220, kKeyX = 440, kRowTop = 194, kRowHeight = 10, kRowWidth = 300;
constexpr int kSectionGap = 3;
constexpr int kMessageX = 220, kMessageY = 457;

// By Action, as the player reads them.
constexpr const char* kActionLabels[kActionCount] = {
    "walk up",       "walk down",           "walk left",  "walk right",    "mine",
    "place",         "aim at body or feet", "auto jump",  "rest",          "looks (row)",
    "looks (group)", "inventory",           "map",        "position line", "chat",
    "options",       "run (held)",          "set a mark",
};

// Below the keys, the rows that are no key.
constexpr int kDefaultsRow = kActionCount;
constexpr int kScaleRow = kDefaultsRow + 1;
constexpr int kFullscreenRow = kScaleRow + 1;
constexpr int kClassicRow = kFullscreenRow + 1;
constexpr int kVolumeRow = kClassicRow + 1;
constexpr int kNamesRow = kVolumeRow + 1;
constexpr int kChatRow = kNamesRow + 1;
constexpr int kRowCount = kChatRow + 1;
// Where Tab goes next: the keys, the picture, the sound, the multiplayer game.
constexpr int kSectionStarts[] = {0, kScaleRow, kVolumeRow, kNamesRow};

const char* valueLabel(int row) {
    switch (row) {
        case kScaleRow:
            return "window scale";
        case kFullscreenRow:
            return "fullscreen";
        case kClassicRow:
            return "classic picture";
        case kVolumeRow:
            return "effects volume";
        case kNamesRow:
            return "other players' names";
        default:
            return "chat";
    }
}

struct Options {
    Screen from = Screen::Menu;
    int selected = 0;
    bool waiting = false;
    bool askingClassic = false;  // the classic picture waits for a yes
    std::string message;
    bool buttonWasDown = false;
};
Options options;

std::string shownName(int key) {
    std::string name = keyName(key);
    if (name.size() == 1)
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name.empty() ? "key " + std::to_string(key) : name;
}

bool keptByTheGame(int keycode) {
    return keycode == ALLEGRO_KEY_ESCAPE || keycode == ALLEGRO_KEY_F12 ||
           (keycode >= ALLEGRO_KEY_0 && keycode <= ALLEGRO_KEY_9);
}

int actionWithKey(int keycode) {
    for (int action = 0; action < kActionCount; ++action)
        if (keyBindings.key[action] == keycode) return action;
    return -1;
}

void bindSelected(int keycode) {
    options.waiting = false;
    const char* label = kActionLabels[options.selected];
    if (keycode == ALLEGRO_KEY_ESCAPE) {
        options.message = std::string(label) + " keeps its key.";
        return;
    }
    if (keptByTheGame(keycode)) {
        options.message = shownName(keycode) + " is kept by the game; " + label + " keeps its key.";
        return;
    }
    const int other = actionWithKey(keycode);
    if (other == options.selected) {
        options.message = std::string(label) + " keeps " + shownName(keycode) + ".";
        return;
    }
    if (other >= 0) {
        options.message =
            shownName(keycode) + " is taken by " + kActionLabels[other] + "; choose another.";
        return;
    }
    keyBindings.key[options.selected] = keycode;
    options.message = saveSettings() ? std::string(label) + ": " + shownName(keycode) + ", saved."
                                     : "The settings file could not be written.";
}

void restoreDefaults() {
    keyBindings = KeyBindings{};
    options.message = saveSettings() ? "Every key is back to its default, saved."
                                     : "The settings file could not be written.";
}

std::string onOff(bool on) { return on ? "on" : "off"; }

std::string valueText(int row) {
    switch (row) {
        case kScaleRow: {
            const int scale = windowScale();
            if (windowFullscreen()) return "fullscreen";
            return scale > 0 ? std::to_string(scale) + "x" : "as dragged";
        }
        case kFullscreenRow:
            return onOff(windowFullscreen());
        case kClassicRow:
            return onOff(settings.classic);
        case kVolumeRow:
            if (settings.soundVolume == 0) return "off";
            if (settings.soundVolume == kFullSoundVolume) return "full";
            return std::to_string(settings.soundVolume) + " of " + std::to_string(kFullSoundVolume);
        case kNamesRow:
            return settings.showNames ? "shown" : "hidden";
        default:
            return settings.showChat ? "shown" : "hidden";
    }
}

// Left is -1, Right +1; Enter and a click are +1 and go round at the end.
void changeValue(int row, int step, bool wrap) {
    const auto stepped = [&](int value, int low, int high) {
        value += step;
        if (wrap && value > high) return low;
        return std::max(low, std::min(value, high));
    };
    // The window's own hooks keep what they change in the file.
    bool saved = true;
    switch (row) {
        case kScaleRow:
            // A dragged size or fullscreen steps from the window's smallest multiple.
            saved = setWindowScale(stepped(std::max(1, windowScale()), 1, fittingWindowScale()));
            break;
        case kFullscreenRow:
            saved = setWindowFullscreen(!windowFullscreen());
            break;
        case kClassicRow:
            // It changes the whole game at a key press: a yes first.
            if (!settings.classic && !options.askingClassic) {
                options.askingClassic = true;
                options.message = "Classic picture: the first releases' look and menus. Turn on?";
                return;
            }
            options.askingClassic = false;
            settings.classic = !settings.classic;
            saved = saveSettings();
            break;
        case kVolumeRow:
            settings.soundVolume = stepped(settings.soundVolume, 0, kFullSoundVolume);
            saved = saveSettings();
            requestVolumeSample();
            break;
        case kNamesRow:
            settings.showNames = !settings.showNames;
            saved = saveSettings();
            break;
        default:
            settings.showChat = !settings.showChat;
            saved = saveSettings();
            break;
    }
    // The change holds for this run either way; the player learns whether it lasts.
    options.message = std::string(valueLabel(row)) + ": " + valueText(row) +
                      (saved ? ", saved." : ", not saved: the file was not written.");
    // The first releases had no options screen, so the classic menu has none.
    if (saved && row == kClassicRow && settings.classic)
        options.message =
            "Classic on, saved; " + shownName(boundKey(Action::Options)) + " opens the options.";
}

// Yes is Enter, Y or a click on the row; any other key keeps the picture.
void answerClassic(int keycode) {
    if (keycode == ALLEGRO_KEY_ENTER || keycode == ALLEGRO_KEY_PAD_ENTER ||
        keycode == ALLEGRO_KEY_Y)
        return changeValue(kClassicRow, 1, true);
    options.askingClassic = false;
    options.message = "The classic picture stays off.";
}

void startWaiting(int row) {
    if (row != kClassicRow) options.askingClassic = false;
    if (row == kDefaultsRow) return restoreDefaults();
    if (row > kDefaultsRow) return changeValue(row, 1, true);
    options.selected = row;
    options.waiting = true;
    options.message =
        std::string("Press a key for ") + kActionLabels[row] + " (Escape keeps the old one).";
}

int rowY(int row) {
    int gaps = 0;
    for (int start : kSectionStarts) gaps += start > 0 && row >= start ? 1 : 0;
    return kRowTop + kRowHeight * row + kSectionGap * gaps;
}

int nextSection(int row) {
    for (int start : kSectionStarts)
        if (start > row) return start;
    return 0;
}

}  // namespace

void openOptions(Screen from) {
    options = Options{};
    options.from = from;
    // The press that chose the screen is no click on its rows.
    options.buttonWasDown = pointer.buttonDown == 1;
    options.message = "Enter or a click, then the key wanted.";
    gameScreen.screen = Screen::Options;
}

bool optionsOverGame() {
    return gameScreen.screen == Screen::Options &&
           (options.from == Screen::Paused || options.from == Screen::Game);
}

const std::string& optionsMessage() { return options.message; }

void optionsKey(int keycode) {
    if (options.waiting) return bindSelected(keycode);
    if (options.askingClassic) return answerClassic(keycode);
    switch (keycode) {
        case ALLEGRO_KEY_UP:
            options.selected = (options.selected + kRowCount - 1) % kRowCount;
            return;
        case ALLEGRO_KEY_DOWN:
            options.selected = (options.selected + 1) % kRowCount;
            return;
        case ALLEGRO_KEY_TAB:
            options.selected = nextSection(options.selected);
            return;
        case ALLEGRO_KEY_LEFT:
        case ALLEGRO_KEY_RIGHT:
            if (options.selected > kDefaultsRow)
                changeValue(options.selected, keycode == ALLEGRO_KEY_LEFT ? -1 : 1,
                            options.selected != kVolumeRow && options.selected != kScaleRow);
            return;
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            return startWaiting(options.selected);
        case ALLEGRO_KEY_ESCAPE:
            if (options.from == Screen::Paused) return openPauseMenu();
            if (options.from == Screen::Game) return backToGame();
            return escapeToMenu();
        default:
            return;
    }
}

void updateOptions() {
    const bool clicked = pointer.buttonDown == 1 && !options.buttonWasDown;
    options.buttonWasDown = pointer.buttonDown == 1;
    if (!clicked) return;
    for (int row = 0; row < kRowCount; ++row)
        if (pointer.x >= kRowX && pointer.x < kRowX + kRowWidth && pointer.y >= rowY(row) &&
            pointer.y < rowY(row) + kRowHeight)
            return startWaiting(row);
}

void drawOptions() {
    drawMenuBackdrop();
    // The backdrop's two panels, drawn down far enough to hold every row.
    extendMenuPanel(212, 214);
    extendMenuPanel(432, 202);
    setTint(kYellow);
    drawText("Options (Escape goes back)", kTitleX, kTitleY);
    resetTint();
    for (int row = 0; row < kActionCount; ++row) {
        const bool chosen = row == options.selected;
        if (chosen) setTint(kYellow);
        const std::string key = chosen && options.waiting ? "..." : shownName(keyBindings.key[row]);
        drawText(kActionLabels[row], kRowX, rowY(row));
        drawText(key.c_str(), kKeyX, rowY(row));
        if (chosen) resetTint();
    }
    if (options.selected == kDefaultsRow) setTint(kYellow);
    drawText("Defaults (every key)", kRowX, rowY(kDefaultsRow));
    if (options.selected == kDefaultsRow) resetTint();
    for (int row = kScaleRow; row < kRowCount; ++row) {
        const bool chosen = row == options.selected;
        if (chosen) setTint(kYellow);
        drawText(valueLabel(row), kRowX, rowY(row));
        const std::string value = chosen ? "< " + valueText(row) + " >" : valueText(row);
        drawText(value.c_str(), kKeyX, rowY(row));
        if (chosen) resetTint();
    }
    extendMenuBar(kMessageX + textWidth(options.message.c_str()) + 8);
    drawText(options.message.c_str(), kMessageX, kMessageY);
}
