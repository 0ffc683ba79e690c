// The texts of web addresses the engine reads: a redirect's Location resolved
// against the address it came from, and the proxy server the user typed. Pure text
// work, no network.
#pragma once

#include <windows.h>

// The longest address the engine follows, terminator included.
const DWORD kUrlUnits = 2048;

// The absolute address that `reference` (a Location) names relative to `base`, as
// RFC 3986 section 5.2 resolves it: dot segments removed, a query alone keeps the
// base's path ("?v=2" after "http://h/data/wc.csv" gives "http://h/data/wc.csv?v=2").
// A reference with a scheme stands as it is (the next request checks that scheme).
// False when the result does not fit `units` units.
bool ResolveLocation(const WCHAR* base, const WCHAR* reference, WCHAR* target, DWORD units);

// "host", "host:port" or "[v6 address]:port", optionally after "http://", into
// "host:port" (port 80 when none is given). False for anything else: an empty
// text, a port that is no number from 1 to 65535, blanks, a path.
bool ReadProxyServer(const WCHAR* text, WCHAR* server, DWORD units);
