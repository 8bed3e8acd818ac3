#include "app/RedirectionGuard.h"

bool TurnOnRedirectionGuard(optional_api::SetProcessMitigationPolicyFn set) {
    if (!set)
        return false;
    // Windows before 10 22H2 knows the function but not the policy, and refuses it.
    DWORD flags = kEnforceRedirectionTrust;
    return set(kProcessRedirectionTrustPolicy, &flags, sizeof flags) != FALSE;
}
