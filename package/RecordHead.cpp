#include "package/RecordHead.h"

namespace RecordHead {

EFieldTooLong::EFieldTooLong(std::string_view field, std::size_t length, std::size_t width)
    : ELengthError("EFieldTooLong", std::string(field) + ": " + std::to_string(length) + " characters do not fit its " +
                   std::to_string(width) + "-character field") {}

}  // namespace RecordHead
