// The packaging tool's error kinds. All derive from Exception, the root the
// programs share with the file streams' kinds (EFOpenError, EReadError, ...),
// so that each makesetup command ends in one catch of that root. The type
// name says the kind; the message says what failed, in one line.
#pragma once

#include <string>

#include "system/Errors.h"

#define MAKESETUP_ERROR_KIND(Name)                                                  \
    class Name : public Exception {                                                 \
    public:                                                                         \
        explicit Name(std::string message) : Exception(#Name, std::move(message)) {} \
    }

MAKESETUP_ERROR_KIND(ENotAPackage);      // a file without a package trailer at its end
MAKESETUP_ERROR_KIND(ELayoutError);      // a stub image the resource editor cannot rewrite
MAKESETUP_ERROR_KIND(EDerError);         // bytes that are not DER the signature reader takes
MAKESETUP_ERROR_KIND(ESignatureFormat);  // a certificate table or signature the tool cannot read
MAKESETUP_ERROR_KIND(EDigestError);      // a digest the platform's crypto cannot compute
MAKESETUP_ERROR_KIND(ESealError);        // a signed file that cannot be sealed
MAKESETUP_ERROR_KIND(EBuildError);       // a package that cannot be written: a changing source, an output over an input
MAKESETUP_ERROR_KIND(ESafeFolder);       // a target below the extract folder that is unsafe or cannot be written

#undef MAKESETUP_ERROR_KIND
