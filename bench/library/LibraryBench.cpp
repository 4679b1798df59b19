// bench_library: the program library at size. Prints
//   1. the import of 10,000 generated ".sig" files into a new library (time, database size);
//   2. search latency over that library, p50 and p99, for queries of 2 to 8 characters;
//   3. the cost that recording 30 programs adds to a whole-unit backup of them: the time spent
//      recording, against the backup's time (its prescribed pauses plus the in-process run;
//      the wire time of a real link comes on top, so the real share is smaller still).
// Run by hand: build/bench/library/bench_library [FOLDER] (default: a temporary folder).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "archive/UnitBackup.h"
#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "library/LibraryImport.h"
#include "library/LibrarySightings.h"
#include "library/ProgramLibrary.h"
#include "settings/MemorySettingsStore.h"
#include "settings/SettingsStore.h"
#include "sim/SimUnit.h"
#include "tests/support/RecordingHost.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

const char* const kWords[] = {"Hall", "Room", "Plate", "Cab", "Sim", "Vocal", "Snare", "Wash",
                              "Echo", "Tape", "Chorus", "Flange", "Pitch", "Shift", "Gate",
                              "Verb", "Lead", "Pad", "Bass", "Drum", "Big", "Small", "Dark",
                              "Bright"};

std::string Name(std::mt19937& random) {
    std::uniform_int_distribution<std::size_t> word(0, std::size(kWords) - 1);
    return std::string(kWords[word(random)]) + " " + kWords[word(random)] + " " +
           std::to_string(random() % 1000);
}

std::string Text(const std::string& name, std::mt19937& random) {
    std::string text = "preset \"" + name + "\"\nalgorithm \"Plate\"\n";
    for (int i = 0; i < 12; ++i)
        text += "param" + std::to_string(i) + " " + std::to_string(random() % 128) + "\n";
    return text;
}

std::uintmax_t SizeOf(const std::string& database) {
    std::uintmax_t total = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code e;
        const auto size = fs::file_size(database + suffix, e);
        if (!e) total += size;
    }
    return total;
}

// Times what it passes on.
class CTimedSightings : public IProgramSightings {
public:
    explicit CTimedSightings(IProgramSightings& inner) : m_inner(inner) {}
    bool ProgramSeen(const std::string& text, const std::string& name, How how,
                     const Where& where, std::string& error) override {
        const auto start = Clock::now();
        const bool ok = m_inner.ProgramSeen(text, name, how, where, error);
        spent += Clock::now() - start;
        ++calls;
        return ok;
    }
    bool KeepsDeletedPrograms() const override { return m_inner.KeepsDeletedPrograms(); }
    Clock::duration spent{};
    int calls = 0;

private:
    IProgramSightings& m_inner;
};

class CQuietVisitor : public IArchiveVisitor {};

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("quorlin-bench-library-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "files");
    std::mt19937 random(20261210);

    // 1. Import.
    constexpr int kTexts = 10000;
    std::vector<std::string> names;
    for (int i = 0; i < kTexts; ++i) {
        names.push_back(Name(random));
        const fs::path sub = folder / "files" / std::to_string(i / 500);
        fs::create_directories(sub);
        std::ofstream(sub / (std::to_string(i) + ".sig"), std::ios::binary)
            << Text(names.back(), random);
    }
    const std::string database = (folder / "library.sqlite").string();
    library::CProgramLibrary lib;
    std::string error;
    if (!lib.Open(database, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const auto importStart = Clock::now();
    const auto result = library::ImportPaths(lib, {(folder / "files").string()},
                                             [](const std::string& m) {
                                                 std::fprintf(stderr, "%s\n", m.c_str());
                                             });
    const double importMs = Ms(Clock::now() - importStart);
    std::printf("import: %d files (%d new) in %.0f ms (%.2f ms per file); database %.1f MB\n",
                result.files, result.newTexts, importMs, importMs / result.files,
                static_cast<double>(SizeOf(database)) / 1e6);

    // 2. Search latency.
    std::vector<double> latencies;
    std::uniform_int_distribution<std::size_t> pick(0, names.size() - 1);
    for (int i = 0; i < 1000; ++i) {
        const std::string& name = names[pick(random)];
        const std::size_t length = 2 + random() % 7;
        const std::size_t from = random() % std::max<std::size_t>(1, name.size() - length);
        const std::string query = name.substr(from, length);
        const auto start = Clock::now();
        const auto found = lib.Search(query, library::Filter::All, 1000);
        latencies.push_back(Ms(Clock::now() - start));
        if (found.empty()) std::fprintf(stderr, "no result for \"%s\"\n", query.c_str());
    }
    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies[latencies.size() * 99 / 100];
    std::printf("search: 1000 queries of 2 to 8 characters (up to 1000 results each): p50 %.2f ms, "
                "p99 %.2f ms, max %.2f ms (limit 50 ms): %s\n",
                latencies[latencies.size() / 2], p99, latencies.back(),
                p99 <= 50.0 ? "PASS" : "FAIL");

    // 3. A whole-unit backup of 30 user programs, with and without the library.
    CMemorySettingsStore settings;
    SetSettingsStore(&settings);
    CSimUnit unit;
    unit.ClearBanks();
    unit.AddBank(10, "Thirty");
    for (int i = 0; i < 30; ++i) unit.AddProgram(10, i, Text("Backup " + std::to_string(i), random), true);
    CSimLink* link = nullptr;
    auto serial = std::make_unique<CSimLink>(unit, CSimLink::ReplyStyle::Serial);
    link = serial.get();
    CRecordingHost host;
    long long pausedMs = 0;
    host.OnPause([&](int ms) {
        pausedMs += ms;
        link->AdvanceClock(ms);
    });
    CSimUnit spare;
    CLibrarian engine(host, std::move(serial),
                      std::make_unique<CSimLink>(spare, CSimLink::ReplyStyle::MIDI));
    library::CLibrarySightings sightings(lib);
    CTimedSightings timed(sightings);
    engine.SetSightings(&timed);
    CQuietVisitor visitor;
    const auto backupStart = Clock::now();
    const auto outcome =
        archive::CUnitBackup(engine, visitor, 1, 0).Run((folder / "backup").string(), "bench");
    const double runMs = Ms(Clock::now() - backupStart);
    const double backupMs = runMs + static_cast<double>(pausedMs);
    const double storeMs = Ms(timed.spent);
    std::printf("backup of %d programs: %.0f ms (%lld ms prescribed pauses + %.0f ms in process); "
                "recording %d texts took %.1f ms = %.3f %% of the backup (limit 2 %%): %s\n",
                outcome.manifest.written, backupMs, pausedMs, runMs, timed.calls, storeMs,
                100.0 * storeMs / backupMs, storeMs <= 0.02 * backupMs ? "PASS" : "FAIL");
    SetSettingsStore(nullptr);
    if (argc <= 1) fs::remove_all(folder);
    return 0;
}
