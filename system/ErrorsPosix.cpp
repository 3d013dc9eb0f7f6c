// The system's error text elsewhere.
#include <cerrno>
#include <cstring>

#include "system/Errors.h"

std::string LastSystemErrorText() { return ErrorText::TrimSystemText(std::strerror(errno)); }
