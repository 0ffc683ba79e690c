// The network's figures (network_bench.cpp): requests by the engine beside plain
// WinHTTP ones, and the Host's start with and without a data address.
#pragma once

namespace bench {

// `rounds` of each against the local servers on ports `origin` and `proxy`; 0 when
// every round was timed.
int RunNetwork(int rounds, int origin, int proxy);

} // namespace bench
