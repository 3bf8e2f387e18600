// Removes what a test put in the user's credential store or trust store when the test ends,
// however it ends.
#pragma once

#include <string>

#include "credentials.h"
#include "trust_store.h"

struct CredentialCleanup {
    std::string uri;
    ~CredentialCleanup() { vyxserve::DeleteCredential(uri); }
};

struct PinCleanup {
    std::string printer;
    ~PinCleanup() { vyxserve::ForgetPin(printer); }
};
