#include "cli/CliLibraryCommands.h"

#include "archive/FileWriter.h"
#include "engine/Librarian.h"
#include "library/DemoLibraryPlace.h"
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

int Show(CProgramLibrary& lib, const std::string& sha, std::ostream& out, IHost& host) {
    // A copy that no longer matches its SHA-256 is not shown as the program.
    std::string why;
    if (!lib.Text(sha, &why)) {
        host.ShowMessage(why);
        return 1;
    }
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

int RunLibraryCommand(const CliOptions& o, std::ostream& out, IHost& host) {
    CProgramLibrary lib;
    std::string error;
    if (!lib.Open(DefaultLibraryPath(), error)) {
        host.ShowMessage(error);
        return 1;
    }
    // Found by the check on opening: said by every library command.
    if (const std::string damage = lib.DamageReport(); !damage.empty()) host.ShowMessage(damage);
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
    if (a[0] == "show") return Show(lib, *sha, out, host);
    // export
    std::string why;
    const auto text = lib.Text(*sha, &why);
    if (!text) {
        host.ShowMessage(why);
        return 1;
    }
    if (!filewriter::WriteFileWhole(a[2], *text, filewriter::Target::FileOrStream, why)) {
        host.ShowMessage("Cannot write " + (a[2] == "-" ? std::string("to standard output") : a[2]) +
                         ": " + why);
        return 1;
    }
    return 0;
}

struct CCliLibraryFeed::Parts {
    std::unique_ptr<CDemoLibraryPlace> demoPlace;  // outlives the library opened there
    CProgramLibrary library;
    std::unique_ptr<CLibrarySightings> sightings;
};

CCliLibraryFeed::CCliLibraryFeed(CLibrarian& engine, IHost& host, const std::string& link,
                                 bool keepDeleted, bool demoUnit)
    : m_pParts(std::make_unique<Parts>()) {
    CProgramLibrary& library = m_pParts->library;
    if (demoUnit) m_pParts->demoPlace = std::make_unique<CDemoLibraryPlace>();
    std::string openError;
    library.Open(demoUnit ? m_pParts->demoPlace->Path() : DefaultLibraryPath(), openError);
    m_pParts->sightings = std::make_unique<CLibrarySightings>(library, library.OpenReason());
    CLibrarySightings& sightings = *m_pParts->sightings;
    sightings.SetForThisRunOnly(demoUnit && m_pParts->demoPlace->IsForThisRunOnly());
    // Told when the library is first needed: a command that records nothing says nothing of it.
    const std::string path = library.Path();
    sightings.SetFailureReporter([&host, openError, path](const std::string& reason) {
        host.ShowMessage(!openError.empty() ? openError
                                            : "The program library " + path +
                                                  " cannot record a program: " + reason + ".");
    });
    sightings.SetLink(link);
    sightings.SetKeepsDeletedPrograms(keepDeleted);
    engine.SetSightings(&sightings);
}

// The engine may be gone by now (quorlin-cli ends it first): it is not touched.
CCliLibraryFeed::~CCliLibraryFeed() = default;
