// CLibrarian: fetching a program that the unit's list names, checked by the name inside it.
#include "engine/Librarian.h"
#include "engine/ProgramFetch.h"
#include "engine/UnitText.h"

ProgramFetch CLibrarian::FetchProgram(int channel, int program, const std::string& listedName,
                                      bool report) {
    ProgramFetch fetch;
    const bool wasReporting = m_bReportFetches;
    m_bReportFetches = false;  // reported below, once the text is known to be the listed one
    for (int attempt = 0; attempt < 2 && !fetch.Fetched(); ++attempt) {
        const int linkMessagesBefore = m_linkHost.Shown();
        std::string text;
        if (SelectProgram(channel, program) != 0 || GetProgramData(text) != 0) {
            fetch = ProgramFetch{};
            // A link that could not be opened, or a unit that is gone, has said so; asking
            // again would only say it again.
            if (m_linkHost.Shown() != linkMessagesBefore || m_pLink->PeerGone()) break;
            continue;
        }
        // Compared as text: the listed name reached the caller as UTF-8 (UnitText.h).
        fetch.sentName = UnitBytesToUtf8(NameInsideText(text));
        fetch.text = std::move(text);
        fetch.status = SameProgramName(fetch.sentName, listedName)
                           ? ProgramFetch::Status::Fetched
                           : ProgramFetch::Status::WrongProgram;
    }
    m_bReportFetches = wasReporting;
    fetch.reason = ProgramFetchReason(fetch, listedName);
    if (!fetch.Fetched()) {
        // Which program the unit runs is not known: nothing seen now is recorded at `program`.
        m_nSelectedProgram = -1;
        return fetch;
    }
    if (report && m_pSightings && m_bReportFetches) {
        IProgramSightings::Where where;
        where.bank = m_nSelectedBank;
        where.program = program;
        std::string unused;
        m_pSightings->ProgramSeen(fetch.text, {}, IProgramSightings::How::Fetched, where, unused);
    }
    return fetch;
}
