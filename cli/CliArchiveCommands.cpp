#include "cli/CliArchiveCommands.h"

#include "archive/BackupCheck.h"
#include "archive/RestoreTotals.h"
#include "archive/UnitBackup.h"
#include "archive/UnitRestore.h"
#include "cli/CliSignals.h"
#include "engine/Librarian.h"

namespace {

// Messages go to the host (stderr) as they come; files written to stdout.
class CCliVisitor : public IArchiveVisitor {
public:
    CCliVisitor(IHost& host, std::ostream* out) : m_host(host), m_pOut(out) {}
    void OnFileWritten(int bank, int program, const std::string& path) override {
        if (m_pOut == nullptr) return;
        *m_pOut << bank << '\t' << program << '\t' << path << '\n';
        m_pOut->flush();
    }
    void OnMessage(const std::string& text) override { m_host.ShowMessage(text); }
    // Ctrl-C (or SIGTERM) during the run: stop between programs (CliSignals.h).
    bool ShouldCancel() override { return CStopBetweenSteps::Requested(); }

private:
    IHost& m_host;
    std::ostream* m_pOut;
};

}  // namespace

int RunVerify(const std::string& folder, std::ostream& out, IHost& host) {
    const archive::CheckOutcome outcome = archive::CheckBackup(folder);
    if (!outcome.manifestRead) {
        host.ShowMessage(outcome.error);
        return 2;
    }
    for (const auto& finding : outcome.findings) out << archive::FindingLine(finding) << '\n';
    for (const auto& gap : outcome.gaps) out << gap << '\n';
    out.flush();
    const std::string files = "All " + std::to_string(outcome.listed) + " files of the backup";
    if (outcome.findings.empty() && outcome.gaps.empty()) {
        host.ShowMessage(files + " match its manifest.");
        return out ? 0 : 1;
    }
    const std::string incomplete =
        "the backup is incomplete: its manifest records what is not in it (listed above).";
    if (outcome.findings.empty())
        host.ShowMessage(files + " match its manifest, but " + incomplete);
    else
        host.ShowMessage(std::to_string(outcome.findings.size()) +
                         " problems found in the backup." +
                         (outcome.gaps.empty() ? "" : " Besides, " + incomplete));
    return 1;
}

int CCliArchiveCommands::BackupUnit(const std::string& folder, const std::string& link) {
    CStopBetweenSteps stopOnSignal;
    CCliVisitor visitor(m_host, &m_out);
    archive::CUnitBackup backup(m_engine, visitor, m_nDsp, m_nChannel);
    const archive::BackupOutcome outcome = backup.Run(folder, link);
    using S = archive::BackupOutcome::Status;
    if (outcome.status == S::Refused) return 2;
    // A folder that could not be made or written has been reported; nothing was begun.
    if (outcome.status == S::Failed && outcome.manifest.created.empty()) return 1;
    m_host.ShowMessage(archive::BackupSummary(outcome));
    return outcome.status == S::Complete ? 0 : 1;
}

int CCliArchiveCommands::Restore(const std::string& folder, const std::vector<int>& banks,
                                 bool dryRun) {
    CStopBetweenSteps stopOnSignal;
    CCliVisitor visitor(m_host, nullptr);
    archive::CUnitRestore restore(m_engine, visitor, m_nDsp);
    archive::RestorePlan plan;
    using R = archive::CUnitRestore::Result;
    const R planned = restore.Plan(folder, banks, plan);
    if (planned == R::Refused) return 2;
    if (planned == R::Failed) return 1;
    for (const auto& step : plan.steps) m_out << archive::StepLine(step) << '\n';
    m_out.flush();
    // What the plan comes to, and how long it takes, as the desktop program's plan shows it.
    if (!plan.steps.empty()) {
        const archive::RestoreTotals totals = archive::Totals(plan);
        std::string text = archive::TotalsText(totals) + ".";
        if (totals.programs > 0 || totals.banksCreated > 0)
            text += " " + estimate::AboutText(archive::EstimateMs(plan)) + ".";
        m_host.ShowMessage(text);
    }
    if (dryRun) return 0;
    const R done = restore.Carry(plan);
    m_host.ShowMessage(restore.Summary());
    return done == R::Done ? 0 : 1;
}

std::string CCliArchiveCommands::LinkDescription(CLibrarian& engine, bool demo) {
    if (demo) return "demo unit";
    return archive::LinkDescription(engine);
}
