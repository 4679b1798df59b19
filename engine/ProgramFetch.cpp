#include "engine/ProgramFetch.h"

#include "engine/Protocol.h"

namespace {

std::string WithoutTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

std::string NameInsideText(const std::string& text) {
    return WithoutTrailingBlanks(protocol::PatchName(text));
}

bool SameProgramName(const std::string& a, const std::string& b) {
    return WithoutTrailingBlanks(a) == WithoutTrailingBlanks(b);
}

std::string ProgramFetchReason(const ProgramFetch& fetch, const std::string& listedName) {
    switch (fetch.status) {
        case ProgramFetch::Status::Fetched:
            return {};
        case ProgramFetch::Status::NotSent:
            return "the unit did not send it";
        case ProgramFetch::Status::WrongProgram:
            break;
    }
    return "the unit sent \"" + fetch.sentName + "\" instead of \"" +
           WithoutTrailingBlanks(listedName) + "\"";
}
