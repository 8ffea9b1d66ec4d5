// For scripts/bench: the search the guides teach, one ping at a time through
// the console program's own network back end, so that it is set against the
// probe on the same path with the same packets.
//   quillon_hand_search.exe HOST [WAIT_MS]
// Prints the MTU it settles on (0: none) and the pings it sent; each ping
// waits WAIT_MS (1000 unless given) for its answer.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/win32/Win32Prober.h"
#include "tests/bench/HandSearch.h"

int main(int argc, char** argv) {
    const unsigned wait = argc == 3 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1000;
    if (argc < 2 || argc > 3 || wait == 0 || wait > 60000) {
        std::fprintf(stderr, "usage: quillon_hand_search.exe HOST [WAIT_MS]\n");
        return 2;
    }
    quillon::net::Win32InterfaceTable table;
    quillon::net::Win32Prober network(table);
    quillon::net::PathInfo path;
    std::string failure;
    if (!network.OpenPath(argv[1], quillon::net::IpVersion::k4, path, failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    const quillon::test::HandSearchResult result = quillon::test::HandSearch(network, wait);
    std::printf("%d %d\n", result.mtu, result.probes);
    return 0;
}
