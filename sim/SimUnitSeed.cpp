// CSimUnit::LoadBanksFromFolder: seeding banks from ".sig" files on disk.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "sim/ProgramText.h"
#include "sim/SimUnit.h"

namespace fs = std::filesystem;

namespace {

bool IsPatchFile(const fs::directory_entry& entry) {
    std::error_code ec;
    if (!entry.is_regular_file(ec)) return false;
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".sig";
}

std::vector<fs::path> PatchFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (IsPatchFile(entry)) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// "12 Live" -> 12, "Live"; "7" -> 7, nothing. False for any other folder name.
bool ReadBankFolderName(const std::string& text, int& number, std::optional<std::string>& name) {
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 0 || digits > 2) return false;
    if (digits < text.size() && text[digits] != ' ') return false;
    number = std::stoi(text.substr(0, digits));
    if (digits < text.size()) name = text.substr(digits + 1);
    return true;
}

}  // namespace

int CSimUnit::LoadBanksFromFolder(const std::string& folderText,
                                  std::vector<std::string>* problems) {
    const fs::path folder(folderText);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (problems) problems->push_back(folderText + ": not a folder");
        return -1;
    }
    int added = 0;
    const auto addFiles = [&](int bank, const std::vector<fs::path>& files) {
        for (const auto& file : files) {
            std::ifstream in(file, std::ios::binary);
            std::ostringstream content;
            content << in.rdbuf();
            const std::string text = content.str();
            const auto name = sim::ProgramName(text);
            const int number = m_library.LowestFreeNumber(bank);
            if (!in || !name || name->empty()) {
                if (problems) problems->push_back(file.string() + ": no program name, left out");
            } else if (number < 0) {
                if (problems) problems->push_back(file.string() + ": bank is full, left out");
            } else {
                m_library.AddProgram(bank, number, text, true);
                ++added;
            }
        }
    };

    const auto direct = PatchFiles(folder);
    if (!direct.empty()) {
        int bank = 0;
        while (bank <= CSimLibrary::kMaxBank && m_library.FindBank(bank) != nullptr) ++bank;
        if (bank > CSimLibrary::kMaxBank) {
            if (problems) problems->push_back(folderText + ": no free bank number");
        } else {
            std::string name = fs::absolute(folder).filename().string();
            if (name.empty()) name = fs::absolute(folder).parent_path().filename().string();
            m_library.AddBank(bank, name);
            addFiles(bank, direct);
        }
    }

    std::vector<fs::path> subfolders;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_directory(ec)) subfolders.push_back(entry.path());
    std::sort(subfolders.begin(), subfolders.end());
    for (const auto& sub : subfolders) {
        int number = -1;
        std::optional<std::string> name;
        if (!ReadBankFolderName(sub.filename().string(), number, name)) continue;
        if (m_library.FindBank(number) == nullptr || name)
            m_library.StoreBankName(number, name.value_or(""));
        addFiles(number, PatchFiles(sub));
    }
    return added;
}
