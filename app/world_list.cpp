// The world list and the new-world panel. Updating acts on the mouse (per
// event) and the typed keys (per tick); drawing only reads.
#include "app/world_list.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <random>

#include "app/game_screen.h"
#include "app/pointer.h"
#include "app/screens.h"
#include "game/paths.h"
#include "game/played_world.h"
#include "render/assets.h"
#include "render/text.h"
#include "render/tint.h"
#include "util/text.h"
#include "util/timing.h"

WorldListState worldList;

namespace {

// Rows are menu buttons where the title menu has its own, with the time beside
// them in the menu picture's right-hand panel; the buttons below, in two rows;
// a message in the picture's bottom bar.
constexpr int kListX = 220;
constexpr int kListTop = 210;
constexpr int kRowHeight = 30;
constexpr int kRowsShown = 5;
constexpr int kTimeX = 440;
constexpr int kLabelX = 60, kLabelY = 3;  // a label on a button, as the menu draws it
constexpr int kLeftButtonX = 120, kRightButtonX = 330;
constexpr int kFirstButtonY = 380, kSecondButtonY = 410;
constexpr int kRestoreButtonX = 420, kRestoreButtonY = 174;  // beside the title
constexpr int kMessageX = 220, kMessageY = 457;
constexpr int kTitleX = 220, kTitleY = 176;
constexpr int kFieldX = 220, kFieldTop = 210, kFieldGap = 30;
constexpr int kKindNoteX = 440;
constexpr int kNoteLineHeight = 14;
constexpr int kDetailsLineHeight = 13;
constexpr Tint kDetailsTint{0.7f, 0.7f, 0.7f, 1};
constexpr int kLongestLabel = 130;      // pixels of a row's or field's text after the cube
constexpr std::size_t kNameBytes = 60;  // typed name; the note keeps up to 100
constexpr const char* kLockedMessage = "The world is open in another copy of the game.";
constexpr double kDoubleClickSeconds = 0.5;

struct KindChoice {
    WorldKind kind;
    const char* label;
    const char* note[2];
};
constexpr KindChoice kKinds[] = {
    {WorldKind::Island, "Island", {"Rolling land in a sea,", "shaped by the seed."}},
    {WorldKind::Flat, "Flat", {"Grass over earth, stone", "and rock, level all over."}},
    {WorldKind::Empty, "Empty", {"Nothing at all:", "a world to build from air."}},
    {WorldKind::Starter, "Starter", {"The hand-built first world:", "a house, a pond, trees."}},
};
constexpr int kKindCount = static_cast<int>(std::size(kKinds));

constexpr int kSizes[] = {kBandEdge, 64, 128, kLargestWorld};
constexpr int kSizeCount = static_cast<int>(std::size(kSizes));
constexpr const char* kSizeLockedNote = "Starter is 20 x 20 only.";

ALLEGRO_EVENT_QUEUE* typedKeys = nullptr;

int kindIndex() {
    for (int i = 0; i < kKindCount; ++i)
        if (kKinds[i].kind == worldList.kind) return i;
    return 0;
}

// The size the world will be made: the hand-built world has only the one.
int chosenSize() { return worldList.kind == WorldKind::Starter ? kBandEdge : worldList.size; }

std::string sizeLabel(int size) { return std::to_string(size) + " x " + std::to_string(size); }

// "Island, 64 x 64": the kind as the new-world panel names it, when it is one.
std::string details(const WorldMeta& meta) {
    for (const KindChoice& choice : kKinds)
        if (meta.kind == kindName(choice.kind))
            return std::string(choice.label) + ", " + sizeLabel(meta.size);
    return sizeLabel(meta.size);
}

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool hasWorlds() { return !worldList.worlds.empty(); }

// "World 2" and so on: the first such name no listed world has.
std::string freeWorldName() {
    for (int number = static_cast<int>(worldList.worlds.size()) + 1;; ++number) {
        const std::string name = "World " + std::to_string(number);
        const bool taken =
            std::any_of(worldList.worlds.begin(), worldList.worlds.end(),
                        [&](const WorldEntry& entry) { return entry.meta.name == name; });
        if (!taken) return name;
    }
}

void refresh() {
    worldList.worlds = listWorlds(worldsFolder());
    const int count = static_cast<int>(worldList.worlds.size());
    worldList.selected = std::clamp(worldList.selected, 0, std::max(0, count - 1));
}

void keepSelectionShown() {
    if (worldList.selected < worldList.firstShown) worldList.firstShown = worldList.selected;
    if (worldList.selected >= worldList.firstShown + kRowsShown)
        worldList.firstShown = worldList.selected - kRowsShown + 1;
}

void select(int row) {
    const int count = static_cast<int>(worldList.worlds.size());
    worldList.selected = std::clamp(row, 0, std::max(0, count - 1));
    keepSelectionShown();
}

void startNewWorld() {
    worldList.mode = WorldListMode::NewWorld;
    worldList.message.clear();
    worldList.field = NewWorldField::Name;
    worldList.name = freeWorldName();
    worldList.kind = WorldKind::Island;
    worldList.size = kBandEdge;
    // Not the game's own random numbers: their sequence makes a seeded run's
    // weather and start, whether or not a world was made first.
    std::random_device entropy;
    worldList.seedText = std::to_string(entropy());
}

void backToList() {
    worldList.mode = WorldListMode::List;
    worldList.message.clear();
}

// The reason alone: the bar has no room for the lock file's path.
std::string lockMessage() {
    const std::string& failure = lockFailure();
    const std::size_t reason = failure.rfind(": ");
    return "Cannot lock the world: " +
           (reason == std::string::npos ? failure : failure.substr(reason + 2));
}

// The reason without the file's path, and the way back when there is one.
std::string damagedMessage() {
    const std::string& failure = worldFailure();
    const std::size_t reason = failure.find(": ");
    std::string text =
        "Cannot read it: " + (reason == std::string::npos ? failure : failure.substr(reason + 2)) +
        ".";
    if (!hasWorlds()) return text;
    const RestorePoint latest =
        latestSoundRestorePoint(worldsFolder() + "/" + worldList.worlds[worldList.selected].folder);
    if (latest.file.empty()) return text;
    const std::string label = describeRestorePoint(latest, now());
    return text + " Restore... has " + label.substr(0, label.find(',')) + ".";
}

void openRestorePoints() {
    if (!hasWorlds()) return;
    worldList.points =
        listRestorePoints(worldsFolder() + "/" + worldList.worlds[worldList.selected].folder);
    worldList.mode = WorldListMode::Restore;
    worldList.pointSelected = worldList.firstPoint = 0;
    worldList.message = worldList.points.empty() ? "This world has no restore point yet." : "";
}

void selectPoint(int row) {
    const int count = static_cast<int>(worldList.points.size());
    worldList.pointSelected = std::clamp(row, 0, std::max(0, count - 1));
    if (worldList.pointSelected < worldList.firstPoint)
        worldList.firstPoint = worldList.pointSelected;
    if (worldList.pointSelected >= worldList.firstPoint + kRowsShown)
        worldList.firstPoint = worldList.pointSelected - kRowsShown + 1;
}

// Nothing is lost: the world as it was becomes a restore point first.
void restoreChosenPoint() {
    if (worldList.points.empty() || !hasWorlds()) return;
    const RestorePoint point = worldList.points[worldList.pointSelected];
    const std::string label = describeRestorePoint(point, now());
    worldList.mode = WorldListMode::List;
    switch (restoreWorldFolder(worldList.worlds[worldList.selected].folder, point)) {
        case PlayOutcome::Opened:
            worldList.message = "Back to " + label.substr(0, label.find(',')) + ".";
            break;
        case PlayOutcome::Locked:
            worldList.message = kLockedMessage;
            break;
        case PlayOutcome::Unlockable:
            worldList.message = lockMessage();
            break;
        case PlayOutcome::NotSaved:
            worldList.message = "The open world could not be saved, so nothing was restored.";
            break;
        case PlayOutcome::Missing:
        case PlayOutcome::Damaged:
            worldList.message = "The restore point could not be restored.";
            break;
    }
    refresh();
}

void play(const std::string& folder) {
    switch (playWorld(folder)) {
        case PlayOutcome::Opened:
            gameScreen.screen = Screen::Game;
            break;
        case PlayOutcome::Locked:
            worldList.message = kLockedMessage;
            break;
        case PlayOutcome::Missing:
            refresh();
            worldList.message = "That world is no longer there.";
            break;
        case PlayOutcome::Unlockable:
            worldList.message = lockMessage();
            break;
        case PlayOutcome::NotSaved:
            worldList.message = "The open world could not be saved, so it stays open.";
            break;
        case PlayOutcome::Damaged:
            worldList.message = damagedMessage();
            break;
    }
}

void playSelected() {
    if (!hasWorlds()) return startNewWorld();
    play(worldList.worlds[worldList.selected].folder);
}

void deleteSelected() {
    worldList.mode = WorldListMode::List;
    if (!hasWorlds()) return;
    switch (deleteWorld(worldList.worlds[worldList.selected].folder)) {
        case PlayOutcome::Opened:
            break;
        case PlayOutcome::Locked:
            worldList.message = kLockedMessage;
            break;
        case PlayOutcome::Unlockable:
            worldList.message = lockMessage();
            break;
        case PlayOutcome::Missing:
        case PlayOutcome::NotSaved:
        case PlayOutcome::Damaged:
            worldList.message = "The world could not be moved to the trash.";
            break;
    }
    refresh();
    keepSelectionShown();
}

void createAndPlay() {
    const std::string name = util::trim(worldList.name);
    std::string folder;
    const auto seed =
        static_cast<std::uint32_t>(std::strtoul(worldList.seedText.c_str(), nullptr, 10));
    if (int error = createWorld(worldsFolder(), name.empty() ? freeWorldName() : name,
                                worldList.kind, seed, chosenSize(), now(), folder)) {
        std::fprintf(stderr, "Tessaria: cannot make a world in %s: %s\n", worldsFolder().c_str(),
                     std::strerror(error));
        worldList.message = "The world could not be made.";
        return;
    }
    refresh();
    backToList();
    play(folder);
}

void eraseLastCharacter(std::string& text) {
    // A UTF-8 character at a time: its continuation bytes, then its lead.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
        text.pop_back();
    if (!text.empty()) text.pop_back();
}

void appendCharacter(std::string& text, int typed) {
    // A space is seen; the others would hide in the name or turn it around.
    if (typed != ' ' && isInvisible(static_cast<std::uint32_t>(typed))) return;
    char bytes[4];
    const std::size_t count = al_utf8_encode(bytes, typed);
    if (text.size() + count <= kNameBytes) text.append(bytes, count);
}

// Digits while the number stays a seed (below 2^32).
void appendDigit(std::string& text, int typed) {
    if (typed < '0' || typed > '9') return;
    const std::string longer = (text == "0" ? std::string() : text) + static_cast<char>(typed);
    if (longer.size() <= 10 && std::strtoull(longer.c_str(), nullptr, 10) <= 0xFFFFFFFFull)
        text = longer;
}

void cycleKind(int step) {
    worldList.kind = kKinds[(kindIndex() + step + kKindCount) % kKindCount].kind;
}

void cycleSize(int step) {
    if (worldList.kind == WorldKind::Starter) return;
    int at = 0;
    while (at < kSizeCount - 1 && kSizes[at] != worldList.size) ++at;
    worldList.size = kSizes[(at + step + kSizeCount) % kSizeCount];
}

void moveField(int step) {
    constexpr int kFields = static_cast<int>(NewWorldField::Seed) + 1;
    const int next = (static_cast<int>(worldList.field) + step + kFields) % kFields;
    worldList.field = static_cast<NewWorldField>(next);
}

void listKey(int keycode) {
    switch (keycode) {
        case ALLEGRO_KEY_UP:
            return select(worldList.selected - 1);
        case ALLEGRO_KEY_DOWN:
            return select(worldList.selected + 1);
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            return playSelected();
        case ALLEGRO_KEY_DELETE:
            if (hasWorlds()) worldList.mode = WorldListMode::ConfirmDelete;
            return;
        case ALLEGRO_KEY_N:
            return startNewWorld();
        case ALLEGRO_KEY_R:
            return openRestorePoints();
        case ALLEGRO_KEY_ESCAPE:
            return escapeToMenu();
        default:
            return;
    }
}

void restoreKey(int keycode) {
    switch (keycode) {
        case ALLEGRO_KEY_UP:
            return selectPoint(worldList.pointSelected - 1);
        case ALLEGRO_KEY_DOWN:
            return selectPoint(worldList.pointSelected + 1);
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            return restoreChosenPoint();
        case ALLEGRO_KEY_ESCAPE:
            return backToList();
        default:
            return;
    }
}

void confirmKey(int keycode) {
    switch (keycode) {
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
        case ALLEGRO_KEY_DELETE:
        case ALLEGRO_KEY_Y:
            return deleteSelected();
        case ALLEGRO_KEY_ESCAPE:
        case ALLEGRO_KEY_N:
            return backToList();
        default:
            return;
    }
}

void newWorldKey(int keycode, int typed) {
    switch (keycode) {
        case ALLEGRO_KEY_ENTER:
        case ALLEGRO_KEY_PAD_ENTER:
            return createAndPlay();
        case ALLEGRO_KEY_ESCAPE:
            return backToList();
        case ALLEGRO_KEY_UP:
            return moveField(-1);
        case ALLEGRO_KEY_DOWN:
        case ALLEGRO_KEY_TAB:
            return moveField(1);
        case ALLEGRO_KEY_LEFT:
        case ALLEGRO_KEY_RIGHT:
            if (worldList.field == NewWorldField::Kind)
                cycleKind(keycode == ALLEGRO_KEY_LEFT ? -1 : 1);
            if (worldList.field == NewWorldField::Size)
                cycleSize(keycode == ALLEGRO_KEY_LEFT ? -1 : 1);
            return;
        case ALLEGRO_KEY_BACKSPACE:
            if (worldList.field == NewWorldField::Name) eraseLastCharacter(worldList.name);
            if (worldList.field == NewWorldField::Seed) eraseLastCharacter(worldList.seedText);
            return;
        default:
            break;
    }
    if (typed < ' ' || typed == 0x7F) return;
    if (worldList.field == NewWorldField::Name) appendCharacter(worldList.name, typed);
    if (worldList.field == NewWorldField::Seed) appendDigit(worldList.seedText, typed);
}

int fieldY(NewWorldField field) { return kFieldTop + kFieldGap * static_cast<int>(field); }

void clickList() {
    for (int row = worldList.firstShown;
         row < static_cast<int>(worldList.worlds.size()) && row < worldList.firstShown + kRowsShown;
         ++row) {
        if (!pointerOverButton(kListX, kListTop + kRowHeight * (row - worldList.firstShown)))
            continue;
        const double time = al_get_time();
        const bool twice =
            row == worldList.lastClickedRow && time - worldList.lastClickTime < kDoubleClickSeconds;
        select(row);
        worldList.lastClickedRow = twice ? -1 : row;
        worldList.lastClickTime = time;
        if (twice) playSelected();
        return;
    }
    if (pointerOverButton(kLeftButtonX, kFirstButtonY)) return playSelected();
    if (pointerOverButton(kRightButtonX, kFirstButtonY)) return startNewWorld();
    if (pointerOverButton(kLeftButtonX, kSecondButtonY) && hasWorlds())
        worldList.mode = WorldListMode::ConfirmDelete;
    if (pointerOverButton(kRightButtonX, kSecondButtonY)) escapeToMenu();
    if (pointerOverButton(kRestoreButtonX, kRestoreButtonY)) openRestorePoints();
}

// A click on a restore point restores it at once: the world as it was is
// kept as a restore point of its own, so a wrong click is undone the same way.
void clickRestore() {
    for (int row = worldList.firstPoint;
         row < static_cast<int>(worldList.points.size()) && row < worldList.firstPoint + kRowsShown;
         ++row) {
        if (!pointerOverButton(kListX, kListTop + kRowHeight * (row - worldList.firstPoint)))
            continue;
        worldList.pointSelected = row;
        return restoreChosenPoint();
    }
    if (pointerOverButton(kRightButtonX, kFirstButtonY)) backToList();
}

// "Yes, delete" stands where "Back" was, never where "Delete" was: a double
// click on Delete lands its second click on "Keep it".
void clickConfirm() {
    if (pointerOverButton(kRightButtonX, kSecondButtonY)) return deleteSelected();
    backToList();
}

void clickNewWorld() {
    for (NewWorldField field :
         {NewWorldField::Name, NewWorldField::Kind, NewWorldField::Size, NewWorldField::Seed}) {
        if (!pointerOverButton(kFieldX, fieldY(field))) continue;
        if (field == NewWorldField::Kind) cycleKind(1);
        if (field == NewWorldField::Size) cycleSize(1);
        worldList.field = field;
        return;
    }
    if (pointerOverButton(kLeftButtonX, kFirstButtonY)) return createAndPlay();
    if (pointerOverButton(kRightButtonX, kFirstButtonY)) backToList();
}

// ---- drawing

// As much of the text as fits in `width` pixels, whole characters, with "..."
// where it was cut.
std::string fitted(const std::string& text, int width) {
    if (al_get_text_width(assets.smallFont, text.c_str()) <= width) return text;
    std::string cut = text;
    while (!cut.empty() && al_get_text_width(assets.smallFont, (cut + "...").c_str()) > width)
        eraseLastCharacter(cut);
    return cut + "...";
}

// The end of a typed text that fits, so the caret stays in sight.
std::string tail(const std::string& text, int width) {
    std::size_t start = 0;
    while (start < text.size() &&
           al_get_text_width(assets.smallFont, text.c_str() + start) > width) {
        ++start;
        while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
            ++start;
    }
    return text.substr(start);
}

void drawButtonPicture(int x, int y, bool lit) {
    ALLEGRO_BITMAP* picture = assets.menuButton;
    if (picture == nullptr) return;
    const int w = al_get_bitmap_width(picture), h = al_get_bitmap_height(picture) / 2;
    drawBitmapRegion(picture, 0, lit ? h : 0, w, h, x, y);
}

void drawTitle(const char* text) {
    setTint(kYellow);
    drawLargeText(text, kTitleX, kTitleY);
    resetTint();
}

void drawMessage(const std::string& text) {
    if (!text.empty()) drawText(text.c_str(), kMessageX, kMessageY);
}

void drawRows() {
    const std::int64_t at = now();
    for (int row = worldList.firstShown;
         row < static_cast<int>(worldList.worlds.size()) && row < worldList.firstShown + kRowsShown;
         ++row) {
        const WorldEntry& entry = worldList.worlds[row];
        const int y = kListTop + kRowHeight * (row - worldList.firstShown);
        drawButtonPicture(kListX, y, row == worldList.selected || pointerOverButton(kListX, y));
        drawText(fitted(entry.meta.name, kLongestLabel).c_str(), kListX + kLabelX, y + kLabelY);
        std::string when;
        if (entry.folder == playedWorld()) {
            when = "open now";
        } else if (entry.meta.lastPlayed == 0) {
            when = "never played";
        } else if (at - entry.meta.lastPlayed < 1) {
            when = "played just now";
        } else {
            when = "played " + util::time_ago(static_cast<double>(entry.meta.lastPlayed),
                                              static_cast<double>(at));
        }
        drawText(when.c_str(), kTimeX, y + kLabelY);
        // Dimmer, so that it reads as its row's and not as the next row's.
        setTint(kDetailsTint);
        drawText(details(entry.meta).c_str(), kTimeX, y + kLabelY + kDetailsLineHeight);
        resetTint();
    }
    // Arrows beside the first and last rows when the list goes on past them.
    if (worldList.firstShown > 0) drawText("^", kListX - 12, kListTop + kLabelY);
    if (worldList.firstShown + kRowsShown < static_cast<int>(worldList.worlds.size()))
        drawText("v", kListX - 12, kListTop + kRowHeight * (kRowsShown - 1) + kLabelY);
}

void drawList() {
    drawTitle("Your worlds");
    if (!hasWorlds())
        drawText("No world yet: make one with New world.", kListX, kListTop + kLabelY);
    drawRows();
    const bool confirming = worldList.mode == WorldListMode::ConfirmDelete;
    drawMenuButton(kLeftButtonX, kFirstButtonY, "Play");
    drawMenuButton(kRightButtonX, kFirstButtonY, "New world");
    drawMenuButton(kLeftButtonX, kSecondButtonY, confirming ? "Keep it" : "Delete");
    drawMenuButton(kRightButtonX, kSecondButtonY, confirming ? "Yes, delete" : "Back");
    if (!confirming && hasWorlds()) drawMenuButton(kRestoreButtonX, kRestoreButtonY, "Restore...");
    if (confirming && hasWorlds()) {
        const std::string name = fitted(worldList.worlds[worldList.selected].meta.name, 120);
        drawMessage("Delete \"" + name + "\"? It goes to the trash.");
    } else {
        drawMessage(worldList.message);
    }
}

void drawRestorePoints() {
    drawTitle("Restore");
    const std::int64_t at = now();
    for (int row = worldList.firstPoint;
         row < static_cast<int>(worldList.points.size()) && row < worldList.firstPoint + kRowsShown;
         ++row) {
        const int y = kListTop + kRowHeight * (row - worldList.firstPoint);
        const std::string label = describeRestorePoint(worldList.points[row], at);
        const std::size_t comma = label.find(", ");
        drawButtonPicture(kListX, y,
                          row == worldList.pointSelected || pointerOverButton(kListX, y));
        drawText(label.substr(0, comma).c_str(), kListX + kLabelX, y + kLabelY);
        if (comma != std::string::npos)
            drawText(label.substr(comma + 2).c_str(), kTimeX, y + kLabelY);
    }
    if (worldList.firstPoint > 0) drawText("^", kListX - 12, kListTop + kLabelY);
    if (worldList.firstPoint + kRowsShown < static_cast<int>(worldList.points.size()))
        drawText("v", kListX - 12, kListTop + kRowHeight * (kRowsShown - 1) + kLabelY);
    drawMenuButton(kRightButtonX, kFirstButtonY, "Back");
    drawMessage(worldList.message.empty() && hasWorlds()
                    ? "Choose a time for \"" +
                          fitted(worldList.worlds[worldList.selected].meta.name, 120) + "\"."
                    : worldList.message);
}

void drawField(NewWorldField field, const char* label, const std::string& value) {
    const int y = fieldY(field);
    const bool focused = worldList.field == field;
    drawButtonPicture(kFieldX, y, focused || pointerOverButton(kFieldX, y));
    const bool typed = field == NewWorldField::Name || field == NewWorldField::Seed;
    const std::string caret = typed && focused && gameScreen.sloganBlinkOn ? "_" : "";
    const int room = kLongestLabel - al_get_text_width(assets.smallFont, label) - 6;
    const std::string shown = typed ? tail(value, room) : value;
    drawText((label + shown + caret).c_str(), kFieldX + kLabelX, y + kLabelY);
}

void drawNewWorld() {
    drawTitle("New world");
    const KindChoice& kind = kKinds[kindIndex()];
    drawField(NewWorldField::Name, "Name: ", worldList.name);
    drawField(NewWorldField::Kind, "Kind: ", std::string("< ") + kind.label + " >");
    // A size that cannot change shows no arrows, and says why beside it.
    const bool sizeLocked = worldList.kind == WorldKind::Starter;
    const std::string size = sizeLabel(chosenSize());
    drawField(NewWorldField::Size, "Size: ", sizeLocked ? size : "< " + size + " >");
    if (sizeLocked) drawText(kSizeLockedNote, kKindNoteX, fieldY(NewWorldField::Size) + kLabelY);
    drawField(NewWorldField::Seed, "Seed: ", worldList.seedText);
    for (int line = 0; line < 2; ++line)
        drawText(kind.note[line], kKindNoteX,
                 fieldY(NewWorldField::Kind) + kLabelY + kNoteLineHeight * line);
    drawMenuButton(kLeftButtonX, kFirstButtonY, "Create");
    drawMenuButton(kRightButtonX, kFirstButtonY, "Back");
    drawMessage(worldList.message);
}

}  // namespace

void openWorldList() {
    gameScreen.screen = Screen::Worlds;
    worldList.mode = WorldListMode::List;
    worldList.message.clear();
    worldList.buttonWasDown = pointer.buttonDown != 0;
    worldList.lastClickedRow = -1;
    refresh();
    // The open world first when it is there, else the one played last.
    worldList.selected = 0;
    for (int row = 0; row < static_cast<int>(worldList.worlds.size()); ++row)
        if (worldList.worlds[row].folder == playedWorld()) worldList.selected = row;
    worldList.firstShown = 0;
    keepSelectionShown();
    if (!hasWorlds()) startNewWorld();
}

void updateWorldList() {
    const bool down = pointer.buttonDown != 0;
    const bool pressed = down && !worldList.buttonWasDown;
    worldList.buttonWasDown = down;
    if (!pressed) return;
    switch (worldList.mode) {
        case WorldListMode::List:
            return clickList();
        case WorldListMode::ConfirmDelete:
            return clickConfirm();
        case WorldListMode::NewWorld:
            return clickNewWorld();
        case WorldListMode::Restore:
            return clickRestore();
    }
}

void worldListKey(int keycode, int typed, bool repeat) {
    // A held key repeats: in the list only for moving, so a held Delete can
    // never answer the question it asked.
    const bool moving = keycode == ALLEGRO_KEY_UP || keycode == ALLEGRO_KEY_DOWN;
    if (repeat && worldList.mode != WorldListMode::NewWorld && !moving) return;
    switch (worldList.mode) {
        case WorldListMode::List:
            return listKey(keycode);
        case WorldListMode::ConfirmDelete:
            return confirmKey(keycode);
        case WorldListMode::NewWorld:
            return newWorldKey(keycode, typed);
        case WorldListMode::Restore:
            return restoreKey(keycode);
    }
}

void readWorldListKeys() {
    if (typedKeys == nullptr) return;
    ALLEGRO_EVENT event;
    while (al_get_next_event(typedKeys, &event)) {
        // Keys typed while another screen was shown are not for the list.
        if (gameScreen.screen != Screen::Worlds || event.type != ALLEGRO_EVENT_KEY_CHAR) continue;
        worldListKey(event.keyboard.keycode, event.keyboard.unichar, event.keyboard.repeat);
    }
}

void drawWorldList() {
    drawMenuBackdrop();
    if (worldList.mode == WorldListMode::NewWorld) {
        drawNewWorld();
    } else if (worldList.mode == WorldListMode::Restore) {
        drawRestorePoints();
    } else {
        drawList();
    }
}

void installWorldListKeys() {
    if (!al_is_keyboard_installed()) return;
    typedKeys = al_create_event_queue();
    if (typedKeys != nullptr) al_register_event_source(typedKeys, al_get_keyboard_event_source());
}

void releaseWorldListKeys() {
    if (typedKeys != nullptr) al_destroy_event_queue(typedKeys);
    typedKeys = nullptr;
}
