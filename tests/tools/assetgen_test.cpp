// The asset generator's contract with the game: file names, picture sizes and
// strip layouts, black transparency, icons, sounds, the font, determinism, and
// leaving the world folder alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/bmp_file.h"
#include "support/files.h"
#include "support/wav_file.h"

namespace fs = std::filesystem;

namespace {

fs::path freshFolder(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() /
                         ("tessaria_assetgen_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Runs the generator; returns its exit status and what it wrote to stderr.
int runGenerator(const std::string& args, std::string* errors = nullptr) {
    const fs::path errFile =
        fs::temp_directory_path() / ("tessaria_assetgen_err_" + std::to_string(::getpid()));
    const std::string command =
        std::string(TESSARIA_ASSETGEN_BINARY) + " " + args + " 2> " + errFile.string();
    const int status = std::system(command.c_str());
    if (errors) {
        std::ifstream in(errFile);
        std::stringstream text;
        text << in.rdbuf();
        *errors = text.str();
    }
    fs::remove(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string tileName(int id) {
    char name[32];
    std::snprintf(name, sizeof name, "gfx/map/tile/%03d.bmp", id);
    return name;
}

class GeneratedData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = new fs::path(freshFolder("contract"));
        ASSERT_EQ(runGenerator((*root / "data").string() + " --contact-sheet " +
                               (*root / "sheet.png").string()),
                  0);
    }
    static void TearDownTestSuite() {
        fs::remove_all(*root);
        delete root;
        root = nullptr;
    }
    static Image load(const std::string& name) { return readBmp(*root / "data" / name); }
    static fs::path* root;
};

fs::path* GeneratedData::root = nullptr;

TEST_F(GeneratedData, WritesEveryFileTheGameAndTheSoundCacheLoad) {
    std::vector<std::string> names = {"gfx/logo.bmp",      "gfx/map/rain.bmp", "gfx/map/snow.bmp",
                                      "gfx/map/crack.bmp", "fonts/01.ttf",     "sfx/sfx002.wav",
                                      "sfx/sfx031.wav",    "sfx/sfx042.wav"};
    for (int i = 1; i <= 8; ++i) names.push_back("gfx/00" + std::to_string(i) + ".bmp");
    for (int i = 1; i <= 4; ++i)
        names.push_back("gfx/character/player" + std::to_string(i) + ".bmp");
    for (int id = 1; id <= 22; ++id) names.push_back(tileName(id));
    for (const std::string& name : names) {
        EXPECT_TRUE(fs::is_regular_file(*root / "data" / name)) << name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0) {
            EXPECT_GT(load(name).width, 0) << name << " is not a 24-bit bottom-up BMP";
        }
    }
}

TEST_F(GeneratedData, TilesAreSixtyFourSquareAndTheLiquidsFourFrameStrips) {
    for (int id = 1; id <= 22; ++id) {
        const Image tile = load(tileName(id));
        EXPECT_EQ(tile.width, (id == 5 || id == 8) ? 256 : 64) << "block " << id;
        EXPECT_EQ(tile.height, 64) << "block " << id;
    }
}

TEST_F(GeneratedData, EveryTileFrameIsACubeOnATransparentGround) {
    for (int id = 1; id <= 22; ++id) {
        const Image tile = load(tileName(id));
        for (int f = 0; f < tile.width / 64; ++f) {
            const int x = 64 * f;
            for (auto corner : {std::pair{0, 0}, {63, 0}, {0, 63}, {63, 63}, {8, 2}, {55, 61}})
                EXPECT_TRUE(tile.at(x + corner.first, corner.second).clear())
                    << "block " << id << " frame " << f;
            // The front edge of the cube and the rims of both side faces.
            for (auto rim : {std::pair{31, 40}, {32, 40}, {0, 30}, {63, 30}, {31, 62}})
                EXPECT_FALSE(tile.at(x + rim.first, rim.second).clear())
                    << "block " << id << " frame " << f;
        }
    }
}

TEST_F(GeneratedData, AnimatedTilesChangeFromFrameToFrame) {
    for (int id : {5, 8}) {
        const Image tile = load(tileName(id));
        for (int f = 0; f < 4; ++f) {
            int differing = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x)
                    differing +=
                        tile.at(64 * f + x, y) == tile.at(64 * ((f + 1) % 4) + x, y) ? 0 : 1;
            EXPECT_GT(differing, 300)
                << "block " << id << " frames " << f << " and " << (f + 1) % 4;
        }
    }
}

TEST_F(GeneratedData, HotbarIconsAreFilledAndTellEveryBlockApart) {
    std::vector<Image> tiles;
    for (int id = 1; id <= 22; ++id) tiles.push_back(load(tileName(id)));
    for (int a = 0; a < 22; ++a) {
        EXPECT_GT(tiles[a].visibleIn(30, 30, 26, 26), 26 * 26 / 4)
            << "icon of block " << a + 1 << " is nearly empty";
        for (int b = a + 1; b < 22; ++b) {
            int differing = 0;
            for (int y = 30; y < 56; ++y)
                for (int x = 30; x < 56; ++x)
                    differing += tiles[a].at(x, y) == tiles[b].at(x, y) ? 0 : 1;
            EXPECT_GT(differing, 26 * 26 / 3)
                << "icons of blocks " << a + 1 << " and " << b + 1 << " look alike";
        }
    }
}

struct SheetCase {
    int sheet, columns, frameWidth, frameHeight;
};

TEST_F(GeneratedData, FigureSheetsHaveSevenRowsAndTheColumnsTheirAnimationsIndex) {
    for (SheetCase c : {SheetCase{1, 4, 20, 56}, {2, 16, 28, 56}, {3, 4, 40, 36}, {4, 8, 26, 56}}) {
        const Image sheet = load("gfx/character/player" + std::to_string(c.sheet) + ".bmp");
        EXPECT_EQ(sheet.width, c.columns * c.frameWidth) << "sheet " << c.sheet;
        EXPECT_EQ(sheet.height, 7 * c.frameHeight) << "sheet " << c.sheet;
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < c.columns; ++col) {
                const int x = col * c.frameWidth, y = row * c.frameHeight;
                EXPECT_GT(sheet.visibleIn(x, y, c.frameWidth, c.frameHeight), 150)
                    << "sheet " << c.sheet << " " << col << "," << row;
                EXPECT_TRUE(sheet.at(x, y).clear())
                    << "sheet " << c.sheet << " " << col << "," << row;
            }
    }
}

// Where the lowest visible pixels of a frame land on screen when the game
// draws it at (dx, dy), mirrored or not.
struct Feet {
    int bottom = -1;
    double centre = 0;
};

Feet feetOnScreen(const Image& sheet, int fx, int fw, int fh, int dx, int dy, bool mirror) {
    Feet feet;
    for (int y = fh - 1; y >= 0 && feet.bottom < 0; --y) {
        int count = 0, sum = 0;
        for (int x = 0; x < fw; ++x)
            if (!sheet.at(fx + x, y).clear()) ++count, sum += mirror ? fw - 1 - x : x;
        if (count) {
            feet.bottom = dy + y;
            feet.centre = dx + double(sum) / count;
        }
    }
    return feet;
}

TEST_F(GeneratedData, TheFigureStandsOnTheMiddleOfItsTileInEveryFacing) {
    // Screen positions the renderer uses: standing (group 1, idle) and walking.
    const Image standing = load("gfx/character/player1.bmp");
    const Image walking = load("gfx/character/player2.bmp");
    const struct {
        int column, dx;
        bool mirror;
    } stand[] = {{2, 312, false}, {2, 310, true}, {3, 311, false}, {3, 311, true}};
    for (auto s : stand) {
        const Feet f = feetOnScreen(standing, 20 * s.column, 20, 56, s.dx, 106, s.mirror);
        EXPECT_NEAR(f.bottom, 160, 1);
        EXPECT_NEAR(f.centre, 320, 3);
    }
    for (int col : {8, 9, 10, 11, 12, 13, 14, 15})
        for (bool mirror : {false, true}) {
            const Feet f = feetOnScreen(walking, 28 * col, 28, 56, 307, 105, mirror);
            EXPECT_NEAR(f.bottom, 160, 2) << "walking frame " << col;
            EXPECT_NEAR(f.centre, 320, 4) << "walking frame " << col;
        }
}

TEST_F(GeneratedData, TheActingAndRestingFiguresKeepTheirPlace) {
    const Image acting = load("gfx/character/player4.bmp");
    const Image resting = load("gfx/character/player3.bmp");
    // Acting: facing 1 unflipped (307 then 309), facing 3 mirrored (310 then 307).
    for (int frame : {0, 1}) {
        const Feet plain =
            feetOnScreen(acting, 26 * frame, 26, 56, frame == 0 ? 307 : 309, 106, false);
        const Feet mirrored =
            feetOnScreen(acting, 26 * frame, 26, 56, frame == 0 ? 310 : 307, 106, true);
        EXPECT_NEAR(plain.bottom, 160, 2);
        EXPECT_NEAR(mirrored.bottom, 160, 2);
        EXPECT_NEAR(plain.centre, 320, 6);
        EXPECT_NEAR(mirrored.centre, 320, 6);
    }
    // Resting is drawn 10 px left and 20 px lower than standing.
    for (int col = 0; col < 4; ++col) {
        const Feet seat = feetOnScreen(resting, 40 * col, 40, 36, 301, 126, false);
        EXPECT_NEAR(seat.bottom, 160, 2);
    }
}

TEST_F(GeneratedData, WeatherAndCrackStripsHaveFourFrames) {
    for (const char* name : {"gfx/map/rain.bmp", "gfx/map/snow.bmp"}) {
        const Image strip = load(name);
        ASSERT_EQ(strip.width, 320) << name;
        ASSERT_EQ(strip.height, 100) << name;
        for (int f = 0; f < 4; ++f) {
            const int drops = strip.visibleIn(80 * f, 0, 80, 100);
            EXPECT_GT(drops, 40) << name << " frame " << f;
            EXPECT_LT(drops, 80 * 100 / 10)
                << name << " frame " << f << " should be mostly transparent";
        }
    }
    const Image crack = load("gfx/map/crack.bmp");
    ASSERT_EQ(crack.width, 256);
    ASSERT_EQ(crack.height, 64);
    int previous = 0;
    for (int f = 0; f < 4; ++f) {
        const int cracked = crack.visibleIn(64 * f, 0, 64, 64);
        EXPECT_GT(cracked, previous) << "crack stage " << f << " should grow";
        previous = cracked;
    }
    EXPECT_LT(previous, 64 * 64 / 3);
}

TEST_F(GeneratedData, ScreenPicturesFitTheirPlacesOnTheScreen) {
    const Image hud = load("gfx/001.bmp");
    ASSERT_EQ(hud.width, 640);
    ASSERT_EQ(hud.height, 480);
    EXPECT_GT(hud.visibleIn(0, 0, 640, 480), 0);
    EXPECT_EQ(hud.visibleIn(40, 40, 560, 360), 0) << "the HUD frame must leave the game view clear";
    for (const char* name : {"gfx/006.bmp", "gfx/007.bmp"}) {
        const Image full = load(name);
        ASSERT_EQ(full.width, 640) << name;
        ASSERT_EQ(full.height, 480) << name;
        EXPECT_EQ(full.visibleIn(0, 0, 640, 480), 640 * 480)
            << name << " should have no transparent holes";
    }
    const Image strip = load("gfx/003.bmp");
    EXPECT_GE(strip.width, 270);
    EXPECT_LE(strip.width, 640 - 182);
    EXPECT_GE(strip.height, 29);
    const Image cursor = load("gfx/004.bmp");
    EXPECT_GE(cursor.width, 28);
    EXPECT_LE(cursor.width, 34);
    EXPECT_GT(cursor.visibleIn(0, 0, cursor.width, cursor.height), 0);
    EXPECT_EQ(cursor.visibleIn(6, 8, cursor.width - 12, cursor.height - 16), 0)
        << "the cursor must not hide the icon";
    const Image logo = load("gfx/logo.bmp");
    EXPECT_LE(60 + logo.width, 640);
    EXPECT_LE(150 + logo.height, 220) << "the logo must stay above the intro slogan";
    for (const char* name : {"gfx/002.bmp", "gfx/005.bmp"}) EXPECT_GT(load(name).width, 0) << name;
}

TEST_F(GeneratedData, TheMenuButtonHasANormalAndAHighlightedHalfWideEnoughForTheLabels) {
    const Image button = load("gfx/008.bmp");
    ASSERT_EQ(button.height % 2, 0);
    const int half = button.height / 2;
    EXPECT_GE(half, 16) << "a size-10 label drawn 3 px down must fit";
    EXPECT_LE(half, 30) << "buttons stand 30 px apart";
    EXPECT_GE(button.width, 60 + 80) << "\"Exit the game\" is drawn 60 px in";
    EXPECT_LE(220 + button.width, 440) << "the button column must not run into the side panels";
    int differing = 0;
    for (int y = 0; y < half; ++y)
        for (int x = 0; x < button.width; ++x)
            differing += button.at(x, y) == button.at(x, y + half) ? 0 : 1;
    EXPECT_GT(differing, button.width * half / 4);
}

TEST_F(GeneratedData, SoundsAreShortQuietAtTheEdgesAndComfortablyLoud) {
    const struct {
        const char* name;
        double minSeconds, maxSeconds;
    } sounds[] = {
        {"sfx/sfx002.wav", 1.0, 4.0}, {"sfx/sfx031.wav", 0.05, 0.6}, {"sfx/sfx042.wav", 0.1, 1.0}};
    for (auto s : sounds) {
        const Wave w = readWav(*root / "data" / s.name);
        EXPECT_EQ(w.format, 1) << s.name;
        EXPECT_EQ(w.channels, 1) << s.name;
        EXPECT_EQ(w.bitsPerSample, 16) << s.name;
        EXPECT_TRUE(w.sampleRate == 22050 || w.sampleRate == 44100) << s.name;
        ASSERT_FALSE(w.samples.empty()) << s.name;
        const double seconds = double(w.samples.size()) / w.sampleRate;
        EXPECT_GE(seconds, s.minSeconds) << s.name;
        EXPECT_LE(seconds, s.maxSeconds) << s.name;
        EXPECT_LT(std::abs(w.samples.front()), 300) << s.name << " starts with a click";
        EXPECT_LT(std::abs(w.samples.back()), 300) << s.name << " ends with a click";
        int peak = 0;
        for (std::int16_t v : w.samples) peak = std::max(peak, std::abs(int(v)));
        EXPECT_GT(peak, 32767 / 5) << s.name << " is too quiet";
        EXPECT_LT(peak, 32767 * 95 / 100) << s.name << " is too loud";
    }
}

TEST_F(GeneratedData, TheFontIsATrueTypeFileWithItsLicenceBesideIt) {
    const std::vector<std::uint8_t> font = readFile(*root / "data" / "fonts" / "01.ttf");
    ASSERT_GT(font.size(), 10000u);
    EXPECT_EQ(font[0], 0x00);
    EXPECT_EQ(font[1], 0x01);
    EXPECT_EQ(font[2], 0x00);
    EXPECT_EQ(font[3], 0x00);
    EXPECT_GT(fs::file_size(*root / "data" / "fonts" / "LICENSE-01.txt"), 100u);
}

// A CRC written from the PNG standard's description, independent of the generator.
std::uint32_t pngCrc(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

TEST_F(GeneratedData, TheContactSheetIsAWellFormedPng) {
    const std::vector<std::uint8_t> png = readFile(*root / "sheet.png");
    ASSERT_GT(png.size(), 33u);
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_TRUE(std::equal(signature, signature + 8, png.begin()));
    std::set<std::string> seen;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        const std::uint32_t len =
            std::uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        ASSERT_LE(at + 12 + len, png.size());
        const std::uint32_t crc = std::uint32_t(png[at + 8 + len]) << 24 | png[at + 9 + len] << 16 |
                                  png[at + 10 + len] << 8 | png[at + 11 + len];
        const std::string type(png.begin() + std::ptrdiff_t(at + 4),
                               png.begin() + std::ptrdiff_t(at + 8));
        EXPECT_EQ(crc, pngCrc(&png[at + 4], len + 4)) << type;
        seen.insert(type);
        at += 12 + len;
    }
    EXPECT_EQ(at, png.size());
    EXPECT_EQ(seen, (std::set<std::string>{"IHDR", "IDAT", "IEND"}));
}

TEST(AssetGenerator, TwoRunsWriteIdenticalBytes) {
    const fs::path a = freshFolder("first"), b = freshFolder("second");
    ASSERT_EQ(runGenerator((a / "data").string()), 0);
    ASSERT_EQ(runGenerator((b / "data").string()), 0);
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(a / "data")) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const fs::path twin = b / "data" / fs::relative(entry.path(), a / "data");
        EXPECT_EQ(readFile(entry.path()), readFile(twin)) << twin;
    }
    EXPECT_EQ(files, 43);
    fs::remove_all(a);
    fs::remove_all(b);
}

TEST(AssetGenerator, LeavesTheWorldFolderAlone) {
    const fs::path root = freshFolder("world");
    fs::create_directories(root / "data" / "world");
    { std::ofstream(root / "data" / "world" / "world.ini") << "1.1[3] = 7\n"; }
    ASSERT_EQ(runGenerator((root / "data").string()), 0);
    EXPECT_EQ(readFile(root / "data" / "world" / "world.ini"),
              (std::vector<std::uint8_t>{'1', '.', '1', '[', '3', ']', ' ', '=', ' ', '7', '\n'}));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(root / "data" / "world"), fs::directory_iterator()),
        1);
    fs::remove_all(root);
}

TEST(AssetGenerator, FailsWithOneLineWhenTheDataFolderCannotBeMade) {
    const fs::path root = freshFolder("blocked");
    { std::ofstream(root / "data") << "a file where the folder should be"; }
    std::string errors;
    EXPECT_NE(runGenerator((root / "data").string(), &errors), 0);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("data"), std::string::npos) << errors;
    fs::remove_all(root);
}

TEST(AssetGenerator, RejectsAMissingDataFolderArgument) {
    std::string errors;
    EXPECT_NE(runGenerator("", &errors), 0);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
