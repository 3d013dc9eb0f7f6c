#include <windows.h>

#include "system/SystemRules.h"

bool IsAnsiLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != FALSE; }
