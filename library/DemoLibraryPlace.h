#pragma once
// CDemoLibraryPlace: where a run against the demo unit (quorlin --demo, quorlin-cli --demo) keeps
// its program library, so that the demo unit's programs never enter the user's library.
// $QUORLIN_LIBRARY, when set, names the library of every run, the demo's included. Otherwise the
// library is "library.sqlite" in a folder made for this run in the system's temporary folder
// ("quorlin-demo-XXXXXX"), removed with everything in it when this object goes.
//
// Create it before the library is opened and keep it until every connection to the library is
// closed. Any thread; one object per run.

#include <memory>
#include <string>

class QTemporaryDir;

namespace library {

class CDemoLibraryPlace {
public:
    CDemoLibraryPlace();
    ~CDemoLibraryPlace();
    CDemoLibraryPlace(const CDemoLibraryPlace&) = delete;
    CDemoLibraryPlace& operator=(const CDemoLibraryPlace&) = delete;

    // The library file to open; the empty text when the folder could not be made (opening it
    // then fails, and the run goes on without a library).
    const std::string& Path() const { return m_path; }
    // True when the library lives only as long as this run (not one $QUORLIN_LIBRARY names).
    bool IsForThisRunOnly() const { return m_pFolder != nullptr; }

private:
    std::unique_ptr<QTemporaryDir> m_pFolder;
    std::string m_path;
};

}  // namespace library
