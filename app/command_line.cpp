// The command line: --world, or --connect with a name and a password file,
// and the join it asks for.
#include "app/multiplayer.h"

#include <cstring>

#include "app/client_side.h"
#include "game/atomic_file.h"
#include "game/paths.h"

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
