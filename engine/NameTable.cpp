#include "NameTable.h"

namespace nametable {

int Position(char c) {
    const auto pos = kCharacters.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

}  // namespace nametable
