// RedirectionGuard: the elevated installer follows no junction or link that a user without
// administrator rights made (in the pack's folder under Downloads, or in a Korvo folder below a
// drive's root) when it opens, copies or deletes a file.
#pragma once

#include "OptionalApi.h"

// Windows' ProcessRedirectionTrustPolicy, which older mingw headers lack, and its flag.
constexpr int kProcessRedirectionTrustPolicy = 16;
constexpr DWORD kEnforceRedirectionTrust = 0x1;

// Asks set (the system's SetProcessMitigationPolicy, null where it lacks one) to enforce it for
// this process. Whether the system took it; without it, older Windows and Wine, the program goes
// on: the pass itself never acts through a link it can see.
bool TurnOnRedirectionGuard(optional_api::SetProcessMitigationPolicyFn set);
