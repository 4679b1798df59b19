#include "cli/CliLibraryCommands.h"

#include "archive/FileWriter.h"
#include "engine/Librarian.h"
#include "library/LibraryImport.h"
#include "library/LibrarySightings.h"
#include "library/ProgramLibrary.h"

namespace {

using namespace library;

constexpr std::size_t kShortSha = 12;

std::string Short(const std::string& sha) {
    return sha.substr(0, kShortSha);
}

std::string SightingLine(const Sighting& s) {
    return s.when + "\t" + HowText(s.how) + "\t" + PlaceText(s) + "\t" + s.name;
}

int Search(CProgramLibrary& lib, const std::string& text, std::ostream& out) {
    const auto found = lib.Search(text, Filter::All, -1);
    for (const auto& t : found)
        out << Short(t.sha256) << '\t' << t.name << '\t' << PlaceText(t.last) << '\n';
    return found.empty() ? 1 : 0;
}

int Show(CProgramLibrary& lib, const std::string& sha, std::ostream& out) {
    const auto t = lib.Find(sha);
    if (!t) return 1;
    out << "sha256: " << t->sha256 << "\nname: " << t->name << "\nsize: " << t->size
        << " bytes\nfirst seen: " << t->firstSeen << "\nlives now: " << PlaceText(t->last)
        << "\ninfo: " << t->info << "\nsightings:\n";
    for (const auto& s : lib.Sightings(sha)) out << "  " << SightingLine(s) << '\n';
    return 0;
}

int Duplicates(CProgramLibrary& lib, std::ostream& out) {
    bool first = true;
    for (const auto& t : lib.Duplicates()) {
        if (!first) out << '\n';
        first = false;
        out << Short(t.sha256) << "  " << t.name << '\n';
        for (const auto& s : lib.Sightings(t.sha256)) out << "  " << SightingLine(s) << '\n';
    }
    return 0;
}

}  // namespace

bool CheckLibraryArguments(const CliOptions& o, std::string& error) {
    const auto& a = o.arguments;
    if (o.command == CliOptions::Command::Import) {
        for (const auto& path : a) {
            if (path.empty()) {
                error = "import: a PATH must not be empty";
                return false;
            }
        }
        return !a.empty() || (error = "import takes at least one file or folder", false);
    }
    static const struct {
        const char* word;
        std::size_t count;
        const char* usage;
    } shapes[] = {{"search", 2, "library search TEXT"},
                  {"show", 2, "library show SHA"},
                  {"export", 3, "library export SHA FILE"},
                  {"duplicates", 1, "library duplicates"}};
    for (const auto& shape : shapes) {
        if (a.empty() || a[0] != shape.word) continue;
        if (a.size() != shape.count) {
            error = std::string("usage: ") + shape.usage;
            return false;
        }
        if (shape.count == 3 && a[2].empty()) {
            error = "FILE must not be empty";
            return false;
        }
        return true;
    }
    error = a.empty() ? "library needs search, show, export or duplicates"
                      : "library does not know \"" + a[0] + "\"";
    return false;
}

int RunLibraryCommand(const CliOptions& o, std::ostream& out, IHost& host) {
    CProgramLibrary lib;
    std::string error;
    if (!lib.Open(DefaultLibraryPath(), error)) {
        host.ShowMessage(error);
        return 1;
    }
    const auto& a = o.arguments;
    if (o.command == CliOptions::Command::Import) {
        const auto result =
            ImportPaths(lib, a, [&](const std::string& m) { host.ShowMessage(m); });
        out << "Imported " << result.files << " file" << (result.files == 1 ? "" : "s") << " ("
            << result.newTexts << " new to the library)";
        if (result.failed > 0) out << ", " << result.failed << " not imported";
        out << ".\n";
        return result.failed > 0 ? 1 : 0;
    }
    if (a[0] == "search") return Search(lib, a[1], out);
    if (a[0] == "duplicates") return Duplicates(lib, out);
    const auto sha = lib.Resolve(a[1], error);
    if (!sha) {
        host.ShowMessage(error);
        return 1;
    }
    if (a[0] == "show") return Show(lib, *sha, out);
    // export
    const auto text = lib.Text(*sha);
    std::string why;
    if (!text) {
        host.ShowMessage("Cannot read " + Short(*sha) + " from the library.");
        return 1;
    }
    if (!filewriter::WriteFileWhole(a[2], *text, filewriter::Target::FileOrStream, why)) {
        host.ShowMessage("Cannot write " + (a[2] == "-" ? std::string("to standard output") : a[2]) +
                         ": " + why);
        return 1;
    }
    return 0;
}

CCliLibraryFeed::CCliLibraryFeed(CLibrarian& engine, IHost& host, const std::string& link,
                                 bool keepDeleted)
    : m_pLibrary(std::make_unique<CProgramLibrary>()) {
    std::string openError;
    m_pLibrary->Open(DefaultLibraryPath(), openError);
    m_pSightings = std::make_unique<CLibrarySightings>(*m_pLibrary, m_pLibrary->OpenReason());
    // Told when the library is first needed: a command that records nothing says nothing of it.
    const std::string path = m_pLibrary->Path();
    m_pSightings->SetFailureReporter([&host, openError, path](const std::string& reason) {
        host.ShowMessage(!openError.empty() ? openError
                                            : "The program library " + path +
                                                  " cannot record a program: " + reason + ".");
    });
    m_pSightings->SetLink(link);
    m_pSightings->SetKeepsDeletedPrograms(keepDeleted);
    engine.SetSightings(m_pSightings.get());
}

// The engine may be gone by now (quorlin-cli ends it first): it is not touched.
CCliLibraryFeed::~CCliLibraryFeed() = default;
