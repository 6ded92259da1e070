// Start-up in its fixed order: library, audio, window, timer, queue, fonts,
// pictures, then the world. A failure names what failed and ends the run.
#include "app/startup.h"

#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_ttf.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "app/game_screen.h"
#include "app/platform.h"
#include "app/sound.h"
#include "app/window.h"
#include "app/world_list.h"
#include "game/paths.h"
#include "game/played_world.h"
#include "game/settings.h"
#include "game/world_catalog.h"
#include "game/world_setup.h"
#include "render/assets.h"
#include "render/game_frame.h"
#include "render/text.h"
#include "util/random.h"
#include "util/util.h"

AppObjects app;

namespace {

std::string startFolder;  // the world the command line named, claimed; empty for the list

constexpr double kTickSeconds = 0.025;
constexpr const char* kFontFile = "data/fonts/01.ttf";
constexpr int kSmallFontSize = 10;
constexpr int kLargeFontSize = 18;

bool loadInto(ALLEGRO_BITMAP** slot, const std::string& name) {
    const std::string path = dataFile(name);
    *slot = loadMaskedBitmap(path.c_str());
    if (*slot == nullptr) reportStartupFailure(("cannot load " + path).c_str());
    return *slot != nullptr;
}

std::string tilePath(int id) {
    // Ids below 10 have a literal "00" prefix; from 10 on the number follows "0".
    return id < 10 ? "data/gfx/map/tile/00" + util::to_string(id) + ".bmp"
                   : "data/gfx/map/tile/0" + util::to_string(id) + ".bmp";
}

struct PictureFile {
    ALLEGRO_BITMAP** slot;
    std::string path;
};

// Every picture the game loads, in the order start-up has always loaded
// them: the sheets, tiles 1..4, the interface, the other tiles, the weather
// and the crack. The release at shutdown reads the same list.
std::vector<PictureFile> pictureFiles() {
    std::vector<PictureFile> files;
    for (int sheet = 1; sheet <= 4; ++sheet)
        files.push_back({&assets.playerBitmap[sheet],
                         "data/gfx/character/player" + util::to_string(sheet) + ".bmp"});
    for (int id = 1; id <= 4; ++id) files.push_back({&assets.tileBitmap[id], tilePath(id)});
    const PictureFile interfacePictures[] = {
        {&assets.hudFrame, "data/gfx/001.bmp"},       {&assets.gfx002, "data/gfx/002.bmp"},
        {&assets.hotbarStrip, "data/gfx/003.bmp"},    {&assets.gfx005, "data/gfx/005.bmp"},
        {&assets.nightSky, "data/gfx/006.bmp"},       {&assets.hotbarCursor, "data/gfx/004.bmp"},
        {&assets.menuBackground, "data/gfx/007.bmp"}, {&assets.menuButton, "data/gfx/008.bmp"},
        {&assets.logo, "data/gfx/logo.bmp"},
    };
    files.insert(files.end(), std::begin(interfacePictures), std::end(interfacePictures));
    for (int id = 5; id <= kLastBlock; ++id)
        files.push_back({&assets.tileBitmap[id], tilePath(id)});
    files.push_back({&assets.weatherBitmap[1], "data/gfx/map/rain.bmp"});
    files.push_back({&assets.weatherBitmap[2], "data/gfx/map/snow.bmp"});
    files.push_back({&assets.crackBitmap, "data/gfx/map/crack.bmp"});
    return files;
}

void destroyBitmap(ALLEGRO_BITMAP*& bitmap) {
    if (bitmap != nullptr) al_destroy_bitmap(bitmap);
    bitmap = nullptr;
}

}  // namespace

bool claimWorld(const std::string& name) {
    if (!choosePaths()) return false;  // portable beside data/, or installed with files at home
    // A player whose starter world cannot be copied still plays, in a new
    // world, and is told why.
    if (!provideStarterWorld())
        std::fprintf(stderr, "Tessaria: cannot copy the starter world to %s\n",
                     worldFile().c_str());
    adoptWorldFromBefore();
    if (name.empty()) return true;
    std::string folder;
    if (!findWorld(name, folder)) {
        reportStartupFailure(("no world named \"" + name + "\" in " + worldsFolder()).c_str());
        return false;
    }
    const PlayOutcome claim = claimWorldFolder(folder);
    if (claim == PlayOutcome::Damaged) {
        // The reason is said already; what is left is the way back.
        const RestorePoint latest = latestSoundRestorePoint(worldsFolder() + "/" + folder);
        if (!latest.file.empty())
            std::fprintf(stderr,
                         "Tessaria: its latest restore point is %s (Restore... in the world "
                         "list)\n",
                         describeRestorePoint(latest, std::time(nullptr)).c_str());
        return false;
    }
    if (claim != PlayOutcome::Opened) {
        reportStartupFailure(claim == PlayOutcome::Locked
                                 ? "the world is open in another copy of the game"
                                 : "the world's lock cannot be taken, so it stays closed");
        return false;
    }
    startFolder = folder;
    return true;
}

bool installAudio() {
    if (!al_install_audio()) return false;
    al_init_acodec_addon();
    // One voice: an effect that sounds keeps the next request from starting.
    return al_reserve_samples(1);
}

void reportStartupFailure(const char* what) { std::fprintf(stderr, "Tessaria: %s\n", what); }

ALLEGRO_BITMAP* loadMaskedBitmap(const char* path) {
    ALLEGRO_BITMAP* bitmap = al_load_bitmap(path);
    if (bitmap != nullptr) al_convert_mask_to_alpha(bitmap, al_map_rgb(0, 0, 0));
    return bitmap;
}

bool loadFonts() {
    const std::string font = dataFile(kFontFile);
    assets.smallFont = al_load_ttf_font(font.c_str(), kSmallFontSize, 0);
    assets.largeFont = al_load_ttf_font(font.c_str(), kLargeFontSize, 0);
    // Every text drawn without a font would abort the process, so a missing
    // font stops start-up like a missing picture.
    if (assets.smallFont == nullptr || assets.largeFont == nullptr) {
        reportStartupFailure(("cannot load " + font).c_str());
        return false;
    }
    return true;
}

bool loadAssets() {
    assets.frameBuffer = al_create_bitmap(kScreenWidth, kScreenHeight);
    if (assets.frameBuffer == nullptr) {
        reportStartupFailure("cannot create the 640 x 480 frame buffer");
        return false;
    }
    for (const PictureFile& file : pictureFiles())
        if (!loadInto(file.slot, file.path)) return false;
    return true;
}

bool initialise() {
    if (!al_init()) {
        reportStartupFailure("cannot initialise Allegro");
        return false;
    }
    if (!al_install_keyboard()) {
        reportStartupFailure("cannot install the keyboard");
        return false;
    }
    // Without a display to take the pointer from (no X server) this is the
    // first step that fails.
    if (!al_install_mouse()) {
        reportStartupFailure("cannot install the mouse");
        return false;
    }
    beginWorldSetUp();  // the weather trigger is the run's first random draw
    assets.menuSloganIndex = randomInt(0, 3);
    installAudio();  // no sound card is no reason not to play: the game is then silent
    al_init_image_addon();
    al_init_font_addon();
    al_init_ttf_addon();

    installKeyNames();  // the settings name keys as the keyboard library does
    loadSettings();
    app.display = openWindow();
    if (app.display == nullptr) {
        reportStartupFailure("cannot open the window");
        return false;
    }
    app.timer = al_create_timer(kTickSeconds);
    if (app.timer == nullptr) {
        reportStartupFailure("cannot create the frame timer");
        return false;
    }
    al_start_timer(app.timer);
    app.queue = al_create_event_queue();
    if (app.queue == nullptr) {
        reportStartupFailure("cannot create the event queue");
        return false;
    }
    al_register_event_source(app.queue, al_get_display_event_source(app.display));
    al_register_event_source(app.queue, al_get_timer_event_source(app.timer));
    al_register_event_source(app.queue, al_get_mouse_event_source());
    // Typing into the join panel and the chat line; the game itself reads
    // the keyboard's state.
    al_register_event_source(app.queue, al_get_keyboard_event_source());

    if (!loadFonts() || !loadAssets()) return false;
    prepareRenderer();  // the cached frame needs the pictures and the window
    installPlatformSeams();
    setSoundRequest(playSound);
    installWorldListKeys();
    startIntro();
    // No world is set up until one is chosen, unless the command line chose it.
    if (!startFolder.empty()) {
        playWorld(startFolder);
        gameScreen.introRunning = false;
        gameScreen.screen = Screen::Game;
    }
    return true;
}

void shutdown() {
    // Allegro's own clean-up runs at exit before static destructors, so every
    // Allegro object is released here and nowhere later.
    releaseWorldListKeys();
    releaseSamples();
    releaseRenderer();
    releaseTextBacking();
    for (const PictureFile& file : pictureFiles()) destroyBitmap(*file.slot);
    destroyBitmap(assets.frameBuffer);
    if (assets.smallFont != nullptr) al_destroy_font(assets.smallFont);
    if (assets.largeFont != nullptr) al_destroy_font(assets.largeFont);
    assets.smallFont = assets.largeFont = nullptr;
    if (app.queue != nullptr) al_destroy_event_queue(app.queue);
    if (app.timer != nullptr) al_destroy_timer(app.timer);
    if (app.display != nullptr) al_destroy_display(app.display);
    app = AppObjects{};
    if (al_is_audio_installed()) al_uninstall_audio();
}
