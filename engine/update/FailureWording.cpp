#include "engine/update/FailureWording.h"

#include "engine/Strings.h"
#include "engine/Texts.h"

namespace engine::wording {

std::string Reason(std::string_view path, std::string_view why) {
    return Joined(path, text::kPathAndError, why);
}

std::string Describe(std::string_view path, const platform::FileError& error) {
    switch (error.kind) {
        case platform::FileError::Kind::Link:
            return Joined(path, text::kIsALink);
        case platform::FileError::Kind::InUse:
            return Joined(path, text::kUsedByAnother);
        default:
            return Reason(path, error.description);
    }
}

}  // namespace engine::wording
