// GoogleTest's result printer replaced by a plain one on Windows: under Wine
// on qemu-user the default printer brings a test program down right after
// the first failed or skipped test, so later tests would never run.
#pragma once

void UsePlainPrinter();
