#include "install/RunEnd.h"

int ExitCodeOf(RunEnd end) {
    switch (end) {
    case RunEnd::Installed:
    case RunEnd::HelpShown:
        return 0;
    case RunEnd::BadCommandLine:
        return 87; // ERROR_INVALID_PARAMETER
    case RunEnd::NoPass:
        return 1602; // ERROR_INSTALL_USEREXIT
    case RunEnd::Whole:
        return 1603; // ERROR_INSTALL_FAILURE
    case RunEnd::PartlyUpdated:
        return 1604; // ERROR_INSTALL_SUSPEND
    case RunEnd::WholeHeld:
        return 1618; // ERROR_INSTALL_ALREADY_RUNNING: retried by the tools
    case RunEnd::NewerInstalled:
        return 1638; // ERROR_PRODUCT_VERSION: another version is already installed
    }
    return 1603;
}
