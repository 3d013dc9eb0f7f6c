// Signing at build time: the author's signer command with {in} and {out},
// or one made for Debian's osslsigncode from a certificate and key; the
// size Windows can still sign; and the build that signs the companion
// uninstaller, then the package, and seals it.
#pragma once

#include <cstdint>
#include <string>

#include "tools/build/PackageBuild.h"
#include "tools/description/PackagePlan.h"

namespace Signing {

// Windows signs no file of 2 GiB or more; the signature itself needs room.
inline constexpr std::uint64_t SignatureRoom = 64u << 10;
inline constexpr std::uint64_t SignableLimit = (std::uint64_t(2) << 30) - SignatureRoom;

// The size of the setup executable the plan gives, before any signature.
std::uint64_t PlannedSize(const TPackagePlan& plan);

// `command` with each {in} and {out} replaced by the quoted paths.
std::string CommandLine(const std::string& command, const std::string& in, const std::string& out);

// The osslsigncode command for a PEM certificate and key, or a PKCS#12 file;
// `passwordEnv` names the environment variable that holds the password;
// SOURCE_DATE_EPOCH, when set, fixes the signing time it records.
std::string OsslsigncodeCommand(const std::string& certificate, const std::string& key, const std::string& pkcs12,
                                const std::string& passwordEnv);

// The signer command [sign] asks for; empty when it asks for none.
std::string CommandFor(const TSignRequest& request);

// Runs the signer on `in`; without {out} in the command it signs `in` in
// place and `out` receives a copy first. Raises EBuildError.
void RunSigner(const std::string& command, const std::string& in, const std::string& out);

// WritePackage, then the signer and the seal; the companion uninstaller is
// signed before it is packed. Refuses a package too large to sign before
// anything is read. Raises EBuildError; nothing is left on failure.
TBuildSummary WriteSignedPackage(TPackagePlan plan, const std::string& outPath, const std::string& command,
                                 const TBuildProgress& progress = {});

}  // namespace Signing
