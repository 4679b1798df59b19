#include "engine/NameTable.h"

namespace nametable {

int Position(char c) {
    const auto pos = kCharacters.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

std::size_t CharacterCount(std::string_view name) {
    std::size_t n = 0;
    for (char c : name)
        if (!IsContinuationByte(c)) ++n;
    return n;
}

bool IsBlankName(std::string_view name) {
    return name.find_first_not_of(' ') == std::string_view::npos;
}

std::string TypedName(std::string_view name) {
    std::string typed;
    for (char c : name) {
        if (IsContinuationByte(c)) continue;
        typed.push_back(Position(c) < 0 ? ' ' : c);
    }
    return typed;
}

}  // namespace nametable
