#include "ui/core/BrowseState.h"

#include <algorithm>

#include "engine/UnitRanges.h"

CBrowseState::CBrowseState(QObject* parent) : QObject(parent) {
    m_strInfo[0] = m_strInfo[1] = NoProgramText();
}

QString CBrowseState::NoProgramText() {
    return tr("No program selected");
}

bool CBrowseState::IsLoadedProgram(int row) const {
    const LoadedProgram& loaded = m_loaded[Slot(m_nDsp)];
    return m_nLevel == kProgramLevel && loaded.nIndex == row && loaded.nBank == m_nCurrentBank;
}

QString CBrowseState::PaneText() const {
    const int slot = Slot(m_nDsp);
    return m_loaded[slot].nBank == m_nCurrentBank ? m_strInfo[slot] : NoProgramText();
}

void CBrowseState::SetLevel(int level) {
    if (level == m_nLevel) return;
    m_nLevel = level;
    emit levelChanged(level);
}

void CBrowseState::SetCurrentBank(int bank) {
    if (bank == m_nCurrentBank) return;
    m_nCurrentBank = bank;
    emit currentBankChanged(bank);
}

void CBrowseState::SetBankIndex(int index) {
    if (index == m_nBankIndex) return;
    m_nBankIndex = index;
    emit bankIndexChanged(index);
}

void CBrowseState::SetDsp(int dsp) {
    if (dsp == m_nDsp) return;
    m_nDsp = dsp;
    emit dspChanged(dsp);
}

void CBrowseState::SetChannel(int channel) {
    channel = std::clamp(channel, unit_ranges::kFirstChannel, unit_ranges::kLastChannel);
    if (channel == m_nChannel) return;
    m_nChannel = channel;
    emit channelChanged(channel);
}

void CBrowseState::SetShowInfoPane(bool shown) {
    if (shown == m_bShowInfoPane) return;
    m_bShowInfoPane = shown;
    emit showInfoPaneChanged(shown);
}

void CBrowseState::SetLoaded(int dsp, LoadedProgram loaded) {
    LoadedProgram& slot = m_loaded[Slot(dsp)];
    if (loaded == slot) return;
    slot = loaded;
    emit loadedChanged(dsp);
}

void CBrowseState::SetInfo(int dsp, const QString& info) {
    QString& slot = m_strInfo[Slot(dsp)];
    if (info == slot) return;
    slot = info;
    emit infoChanged(dsp);
}

void CBrowseState::SetFindText(const QString& text) {
    if (text == m_strFind) return;
    m_strFind = text;
    emit findTextChanged(text);
}

void CBrowseState::SetTitle(const QString& title) {
    if (title == m_strTitle) return;
    m_strTitle = title;
    emit titleChanged(title);
}
