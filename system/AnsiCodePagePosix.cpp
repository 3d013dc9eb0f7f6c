#include "system/SystemRules.h"

// Text on the native build is treated as single-byte: no byte leads a pair.
bool IsAnsiLeadByte(unsigned char byte) { return NoLeadBytes(byte); }
