// The marks file, one entry a line, '#' starts a comment:
//   home = X Y LEVEL
//   mark = X Y LEVEL NAME
// NAME is the rest of the line. Columns are those of the grid, levels those
// of the world file; a line out of those ranges is passed over.
#include "game/marks.h"

#include <cctype>
#include <sstream>

#include "game/atomic_file.h"
#include "game/join_secrets.h"
#include "util/numbers.h"

MarksInPlay marksInPlay;

namespace {

// Parses "X Y LEVEL" and, when wanted, the name after them.
bool readMark(const std::string& value, bool named, Mark& mark) {
    std::istringstream in(value);
    std::string x, y, level;
    in >> x >> y >> level;
    long n[3] = {};
    if (!util::parse_whole(x, 0, kGridSizeX - 1, n[0]) ||
        !util::parse_whole(y, 0, kGridSizeY - 1, n[1]) ||
        !util::parse_whole(level, kHighestLevel, kLowestLevel, n[2]))
        return false;
    mark.x = static_cast<std::int32_t>(n[0]);
    mark.y = static_cast<std::int32_t>(n[1]);
    mark.level = static_cast<std::int32_t>(n[2]);
    std::string rest;
    if (!named) return !(in >> rest);
    std::getline(in >> std::ws, rest);
    mark.name = rest;
    return isMarkName(rest);
}

std::string place(const Mark& m) {
    return std::to_string(m.x) + " " + std::to_string(m.y) + " " + std::to_string(m.level);
}

// A server's address or a hosted world's place as one file name: only what
// cannot lead elsewhere in the folder tree stays.
std::string fileWord(const std::string& text) {
    std::string word;
    for (char c : text) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool plain = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') ||
                           lower == '.' || lower == '-' || lower == '_' || lower == ':';
        word += plain ? lower : '_';
    }
    if (word.empty() || word == "." || word == "..") word = "_" + word;
    return word;
}

void keep() {
    if (!marksInPlay.file.empty()) replaceFile(marksInPlay.file, marksText(marksInPlay.kept), true);
}

int groundOf(const WorldGrid& grid, int x, int y) {
    for (int level = kHighestLevel; level <= kLowestLevel; ++level)
        if (isSolid(cellOf(grid, x, y, level))) return level;
    return kLowestLevel;
}

}  // namespace

std::string marksText(const PlayerMarks& marks) {
    std::string text = "# Tessaria marks: home = X Y LEVEL, mark = X Y LEVEL NAME\n";
    if (marks.home) text += "home = " + place(*marks.home) + "\n";
    for (const Mark& m : marks.marks) text += "mark = " + place(m) + " " + m.name + "\n";
    return text;
}

PlayerMarks marksFromText(const std::string& text) {
    PlayerMarks marks;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        while (!key.empty() && key.back() == ' ') key.pop_back();
        const std::string value = line.substr(equals + 1);
        Mark mark;
        if (key == "home" && readMark(value, false, mark)) {
            mark.name = "Home";
            marks.home = mark;
        } else if (key == "mark" && marks.marks.size() < kMostMarks &&
                   readMark(value, true, mark)) {
            marks.marks.push_back(mark);
        }
    }
    return marks;
}

std::string worldMarksFile(const std::string& worldFolder) { return worldFolder + "/marks.ini"; }

std::string serverMarksFile(const std::string& address, const std::string& name) {
    const std::string secrets = joinSecretsFile();
    const std::size_t slash = secrets.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : secrets.substr(0, slash);
    return folder + "/server_marks/" + fileWord(address) + "/" + fileWord(name) + ".ini";
}

bool isMarkName(const std::string& name) {
    if (name.empty() || name.size() > kLongestMarkName) return false;
    for (char c : name)
        if (c < ' ' || c > '~') return false;
    return true;
}

std::string freeMarkName(const PlayerMarks& marks) {
    for (int n = 1;; ++n) {
        const std::string name = "Mark " + std::to_string(n);
        bool taken = false;
        for (const Mark& m : marks.marks) taken = taken || m.name == name;
        if (!taken) return name;
    }
}

void openMarks(const std::string& file, const WorldGrid& grid, int x, int y) {
    marksInPlay = MarksInPlay{};
    std::string text;
    if (readWholeFile(file, text) == 0) marksInPlay.kept = marksFromText(text);
    marksInPlay.file = file;
    if (!marksInPlay.kept.home) marksInPlay.kept.home = Mark{x, y, groundOf(grid, x, y), "Home"};
}

void closeMarks() { marksInPlay = MarksInPlay{}; }

bool setMark(int x, int y, int level, const std::string& name) {
    PlayerMarks& kept = marksInPlay.kept;
    if (marksInPlay.file.empty() || kept.marks.size() >= kMostMarks) return false;
    kept.marks.push_back(Mark{x, y, level, isMarkName(name) ? name : freeMarkName(kept)});
    marksInPlay.chosen = static_cast<int>(kept.marks.size());
    keep();
    return true;
}

void removeChosenMark() {
    std::vector<Mark>& list = marksInPlay.kept.marks;
    const int chosen = marksInPlay.chosen;
    if (chosen < 1 || chosen > static_cast<int>(list.size())) return;
    list.erase(list.begin() + (chosen - 1));
    marksInPlay.chosen = -1;
    keep();
}

void chooseNextMark() {
    const int last = static_cast<int>(marksInPlay.kept.marks.size());
    int next = marksInPlay.chosen + 1;
    if (next == 0 && !marksInPlay.kept.home) next = 1;
    marksInPlay.chosen = next > last ? -1 : next;
}

const Mark* chosenMark() {
    const int chosen = marksInPlay.chosen;
    if (chosen == 0 && marksInPlay.kept.home) return &*marksInPlay.kept.home;
    if (chosen >= 1 && chosen <= static_cast<int>(marksInPlay.kept.marks.size()))
        return &marksInPlay.kept.marks[static_cast<std::size_t>(chosen - 1)];
    return nullptr;
}
