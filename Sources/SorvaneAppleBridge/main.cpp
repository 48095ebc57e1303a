// SorvaneAppleBridge: answers one prompt with the system's on-device language model.
// Reads one JSON request from standard input to end of file, writes one JSON response to
// standard output and exits 0 when the model answered, 1 otherwise.

#include "SorvaneAppleBridge/Bridge.h"
#include "SorvaneAppleBridge/SystemLanguageModel.h"

#include <csignal>
#include <unistd.h>

int main()
{
    // A caller that stops reading must see exit status 1, not a death by signal.
    std::signal(SIGPIPE, SIG_IGN);
    sorvane::bridge::SystemLanguageModel model;
    return sorvane::bridge::runBridge(STDIN_FILENO, STDOUT_FILENO, model);
}
