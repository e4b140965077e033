// The host in use: one installed by a test, else a process-wide SDL host made on first use.
#include "platform/host.h"

#include "platform/host_sdl.h"

namespace zq {

namespace {

Host *installedHost = nullptr;

}  // namespace

Host &ActiveHost() {
    if (installedHost) return *installedHost;
    // Made on first use and never destroyed, so that code running during exit can still reach it.
    static HostSdl *sdlHost = new HostSdl;
    return *sdlHost;
}

void InstallHost(Host *host) { installedHost = host; }

}  // namespace zq
