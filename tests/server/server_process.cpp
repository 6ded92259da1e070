#include "server_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "game/world_db.h"
#include "game/world_file.h"

TempWorld::TempWorld() {
    char pattern[] = "/tmp/tessaria-server-XXXXXX";
    path = ::mkdtemp(pattern);
    WorldSnapshot world;
    for (int x = 0; x < kBandEdge; ++x)
        for (int y = 0; y < kBandEdge; ++y) world.at(x, y, 10) = Grass;
    world.at(5, 4, 9) = Cobblestone;
    world.playerX = world.playerY = 5;
    std::filesystem::create_directories(path / "world");
    if (writeWorldFile((path / "world" / "world.ini").string(), world, false) != 0) path.clear();
    // The tests build beside the start.
    std::ofstream(path / "world" / "server.ini") << "protect_spawn = 0\n";
}

std::unique_ptr<WorldGrid> readServerWorld(const std::string& folder,
                                           std::map<std::string, std::string>* records) {
    WorldDb db;
    WorldDbMeta meta;
    std::string problem;
    auto grid = std::make_unique<WorldGrid>();
    std::vector<std::pair<std::string, std::string>> all;
    if (!openWorldDb(db, worldDbFile(folder), DbMode::ReadOnly, problem) ||
        !readMeta(db, meta, problem) || !readWorldCells(db, meta, *grid, problem) ||
        !readAllRecords(db, all, problem))
        return nullptr;
    if (records != nullptr) records->insert(all.begin(), all.end());
    return grid;
}

std::string savedRecord(const std::string& folder, const std::string& name) {
    std::map<std::string, std::string> records;
    if (!readServerWorld(folder, &records)) return "";
    const auto found = records.find(name);
    return found == records.end() ? "" : found->second;
}

TempWorld::~TempWorld() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

ServerProcess::ServerProcess(const std::string& folder, std::vector<std::string> extra,
                             int descriptorLimit) {
    int in[2], out[2];
    // Close-on-exec: a server or bots started later must not keep this one's
    // pipe open, or its log would never end.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        close(in[1]);
        close(out[0]);
        if (descriptorLimit > 0) {
            const rlimit limit{static_cast<rlim_t>(descriptorLimit),
                               static_cast<rlim_t>(descriptorLimit)};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        std::vector<std::string> args = {TESSARIA_SERVER_BINARY, "--port", "0", "--world", folder};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toServer_ = in[1];
    fromServer_ = out[0];
    reader_ = std::thread([this] {
        char buffer[4096];
        for (ssize_t got; (got = read(fromServer_, buffer, sizeof buffer)) > 0;) {
            std::lock_guard<std::mutex> guard(lock_);
            output_.append(buffer, static_cast<std::size_t>(got));
        }
    });
    int status = 0;
    pumpUntil(
        [&] {
            if (pid_ < 0 || log().find("listening on port ") != std::string::npos) return true;
            if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
            pid_ = -1;  // ended without listening: all it said is in once its output ends
            if (WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
            close(toServer_);
            reader_.join();
            return true;
        },
        [] {});
    if (pid_ > 0) {
        std::smatch match;
        const std::string text = log();
        if (std::regex_search(text, match, std::regex("listening on port ([0-9]+)")))
            port_ = static_cast<std::uint16_t>(std::stoi(match[1]));
    }
}

ServerProcess::~ServerProcess() {
    stop(SIGKILL);
    if (reader_.joinable()) reader_.join();
    close(fromServer_);
}

bool ServerProcess::sawLine(const std::string& text) {
    return waitUntil([&] { return log().find(text) != std::string::npos; });
}

void ServerProcess::console(const std::string& line) {
    const std::string text = line + "\n";
    if (write(toServer_, text.data(), text.size()) < 0) return;
}

int ServerProcess::stop(int signal) {
    if (pid_ <= 0) return -1;
    kill(pid_, signal);
    int status = 0;
    bool reaped = false;
    const bool ended = pumpUntil(
        [&] {
            reaped = reaped || waitpid(pid_, &status, WNOHANG) == pid_;
            return reaped;
        },
        [] {});
    if (!ended) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    // What it wrote last (the save's line) may still be in the pipe: the log
    // is whole once the reader has met the end.
    if (reader_.joinable()) reader_.join();
    pid_ = -1;
    close(toServer_);
    if (!ended) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ServerProcess::log() {
    std::lock_guard<std::mutex> guard(lock_);
    return output_;
}

namespace {
std::vector<Player*> everyPlayer;
}

Player::Player(std::uint16_t port, const std::string& name, const std::string& password,
               const std::string& key, std::uint8_t host)
    : link_(std::make_unique<Connection>(Ipv4Address(127, 0, 0, 1), port,
                                         Ipv4Address(127, 0, 0, host))) {
    everyPlayer.push_back(this);
    send(Login{name, password, key});
}

Player::~Player() { everyPlayer.erase(std::find(everyPlayer.begin(), everyPlayer.end(), this)); }

void Player::send(const Message& message) {
    link_->send(message);
    link_->client().poll(0);
}

void Player::pumpAll() {
    for (Player* player : everyPlayer) player->pump();
}

void Player::pump() {
    link_->client().poll(0);
    while (auto message = link_->receive()) {
        if (const auto* ping = std::get_if<Ping>(&*message)) link_->send(Pong{ping->stamp});
        received.push_back(std::move(*message));
    }
}
