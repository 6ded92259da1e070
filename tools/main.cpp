// tessaria_assetgen <dataDir> [--contact-sheet <file.png>] [--icons <folder>]
// Writes every picture, the font and the sounds the game loads into <dataDir>,
// and on request the desktop icons as an icon theme tree under <folder>.
// Output depends on nothing but this source (and the font file it copies), so
// two runs give the same bytes. The world folder is never touched.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/contact_sheet.h"
#include "tools/figure.h"
#include "tools/file_formats.h"
#include "tools/icon.h"
#include "tools/interface.h"
#include "tools/sounds.h"
#include "tools/tiles.h"

namespace fs = std::filesystem;

namespace {

// The font: DejaVu Sans Condensed Bold from fonts-dejavu-extra (free licence,
// see the copyright file copied next to it). Condensed, so the longest line of
// the controls panel fits between x = 440 and the screen's edge at size 10.
const char* const kFontSource = "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf";
const char* const kFontLicence = "/usr/share/doc/fonts-dejavu-extra/copyright";

std::string threeDigits(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", n);
    return text;
}

std::vector<NamedImage> buildPictures() {
    std::vector<NamedImage> out;
    for (int id = 1; id <= 22; ++id)
        out.push_back({"gfx/map/tile/" + threeDigits(id) + ".bmp", makeTile(id)});
    for (int s = 1; s <= 4; ++s)
        out.push_back({"gfx/character/player" + std::to_string(s) + ".bmp", makePlayerSheet(s)});
    out.push_back({"gfx/map/rain.bmp", makeRainStrip()});
    out.push_back({"gfx/map/snow.bmp", makeSnowStrip()});
    out.push_back({"gfx/map/crack.bmp", makeCrackStrip()});
    out.push_back({"gfx/003.bmp", makeHotbarStrip()});
    out.push_back({"gfx/004.bmp", makeHotbarCursor()});
    out.push_back({"gfx/008.bmp", makeMenuButton()});
    out.push_back({"gfx/002.bmp", makeEmblem()});
    out.push_back({"gfx/005.bmp", makePickaxeIcon()});
    out.push_back({"gfx/logo.bmp", makeLogo()});
    out.push_back({"gfx/001.bmp", makeHudFrame()});
    out.push_back({"gfx/006.bmp", makeNightLayer()});
    out.push_back({"gfx/007.bmp", makeMenuBackground()});
    return out;
}

bool fail(const std::string& message) {
    std::fprintf(stderr, "tessaria_assetgen: %s\n", message.c_str());
    return false;
}

bool ensureFolder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec) || fail("cannot create folder " + folder.string());
}

bool writeAll(const fs::path& data, const std::vector<NamedImage>& pictures) {
    for (const NamedImage& p : pictures) {
        const fs::path path = data / p.name;
        if (!ensureFolder(path.parent_path()) || !writeBmp(path.string(), p.image))
            return fail("cannot write " + path.string());
    }
    const fs::path sfx = data / "sfx";
    if (!ensureFolder(sfx)) return false;
    const struct {
        const char* name;
        std::vector<std::int16_t> samples;
    } sounds[] = {
        {"sfx002.wav", makeThunder()}, {"sfx031.wav", makeHurt()}, {"sfx042.wav", makeSplash()}};
    for (const auto& s : sounds)
        if (!writeWav((sfx / s.name).string(), s.samples, kSampleRate))
            return fail("cannot write " + (sfx / s.name).string());
    return true;
}

bool copyFont(const fs::path& data) {
    const fs::path fonts = data / "fonts";
    if (!ensureFolder(fonts)) return false;
    std::error_code ec;
    if (!fs::is_regular_file(kFontSource, ec))
        return fail(std::string("font source missing: ") + kFontSource);
    if (!fs::is_regular_file(kFontLicence, ec))
        return fail(std::string("font licence missing: ") + kFontLicence);
    fs::copy_file(kFontSource, fonts / "01.ttf", fs::copy_options::overwrite_existing, ec);
    if (ec) return fail("cannot write " + (fonts / "01.ttf").string());
    fs::copy_file(kFontLicence, fonts / "LICENSE-01.txt", fs::copy_options::overwrite_existing, ec);
    if (ec) return fail("cannot write " + (fonts / "LICENSE-01.txt").string());
    return true;
}

// The icon's name is the application's id, as desktop entries and AppStream
// data look it up.
bool writeIcons(const fs::path& folder) {
    for (int size : {32, 64, 128, 256}) {
        const std::string edge = std::to_string(size);
        const fs::path apps = folder / "hicolor" / (edge + "x" + edge) / "apps";
        const fs::path path = apps / "example.tessaria.Tessaria.png";
        if (!ensureFolder(apps) || !writePng(path.string(), makeIcon(size), PngAlpha::BlackIsClear))
            return fail("cannot write " + path.string());
    }
    return true;
}

const char* const kUsage =
    "usage: tessaria_assetgen <dataDir> [--contact-sheet <file.png>] [--icons <folder>]";

}  // namespace

int main(int argc, char** argv) {
    std::string dataDir, contactSheet, icons;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--contact-sheet" && i + 1 < argc) contactSheet = argv[++i];
        else if (arg == "--icons" && i + 1 < argc) icons = argv[++i];
        else if (dataDir.empty() && arg.rfind("--", 0) != 0) dataDir = arg;
        else return fail(kUsage), 2;
    }
    if (dataDir.empty()) return fail(kUsage), 2;

    const std::vector<NamedImage> pictures = buildPictures();
    if (!ensureFolder(dataDir) || !copyFont(dataDir) || !writeAll(dataDir, pictures)) return 1;
    if (!contactSheet.empty() && !writePng(contactSheet, composeContactSheet(pictures)))
        return fail("cannot write " + contactSheet), 1;
    if (!icons.empty() && !writeIcons(icons)) return 1;
    return 0;
}
