// quorlin-sim: serves the simulated effects unit on a pseudo-terminal.
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "quorlin/Version.h"
#include "sim/PtyServer.h"
#include "sim/SimServerOptions.h"
#include "sim/SimUnit.h"

namespace {

CPtyServer* g_pServer = nullptr;

void OnSignal(int) {
    if (g_pServer != nullptr) g_pServer->Stop();
}

bool MakeLink(const std::string& link, const std::string& target) {
    char existing[PATH_MAX];
    // Replace a stale symbolic link from an earlier run, but never a real file.
    if (::readlink(link.c_str(), existing, sizeof existing) >= 0) ::unlink(link.c_str());
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        SimServerOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "quorlin-sim: " << error << "\n" << SimServerOptions::Usage();
        return 2;
    }
    if (options->help) {
        std::cout << SimServerOptions::Usage();
        return 0;
    }
    if (options->version) {
        std::cout << "quorlin-sim " << kQuorlinVersion << "\n";
        return 0;
    }

    CSimUnit unit;
    if (!options->factorySet) unit.ClearBanks();
    unit.SetReceiveChannel(options->receiveChannel);
    if (!options->seedFolder.empty()) {
        std::vector<std::string> problems;
        const int added = unit.LoadBanksFromFolder(options->seedFolder, &problems);
        for (const auto& p : problems) std::cerr << "quorlin-sim: " << p << "\n";
        if (added < 0) return 1;
        if (options->verbose) std::cerr << "seeded " << added << " programs\n";
    }

    CPtyServer server(unit, {options->lineRate, options->BitsPerByte()},
                      options->verbose ? &std::cerr : nullptr);
    if (options->ownSpeedOnly) server.AnswerOnlyAt(options->lineRate);
    if (!server.Open(error)) {
        std::cerr << "quorlin-sim: " << error << "\n";
        return 1;
    }
    g_pServer = &server;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);

    if (!options->linkPath.empty() && !MakeLink(options->linkPath, server.SlavePath())) {
        std::cerr << "quorlin-sim: cannot make the link " << options->linkPath << "\n";
        return 1;
    }
    std::cout << server.SlavePath() << std::endl;

    const int result = server.Run();
    g_pServer = nullptr;
    if (!options->linkPath.empty()) {
        char target[PATH_MAX];
        const ssize_t n = ::readlink(options->linkPath.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == server.SlavePath())
            ::unlink(options->linkPath.c_str());
    }
    return result;
}
